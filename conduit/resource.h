/* Resource identifiers of Lenfol.dll, shared by lenfol.rc and the dialog code. */
#ifndef LENSFOLIO_WINDOWS_RESOURCE_H
#define LENSFOLIO_WINDOWS_RESOURCE_H

#define IDD_ACTION 100
#define IDC_CONDUIT_NAME 1001
#define IDC_ACTION_DESKTOP 1002
#define IDC_ACTION_HANDHELD 1003
#define IDC_ACTION_NOTHING 1004
#define IDC_MAKE_DEFAULT 1005

#endif
