/*
 * The Win32 window behind the Windows conduit's sync-action dialog. Kept apart
 * from platform.h, whose Windows declarations would clash with <windows.h>.
 */
#ifndef LENSFOLIO_WINDOWS_ACTION_DIALOG_WINDOW_H
#define LENSFOLIO_WINDOWS_ACTION_DIALOG_WINDOW_H

#include <stdint.h>

struct ActionChoice {
    int32_t actionIndex;  // 1 desktop overwrites handheld, 2 handheld overwrites desktop, 3 do nothing
    int32_t makeDefault;  // non-zero: ticked
};

// Shows the dialog modally over `parent` (may be null) with `choice` preselected
// (an index outside 1..3 shows "do nothing"). Returns 1 for OK, with `choice`
// updated, and 2 for Cancel or when the dialog could not be shown.
int ShowActionDialogWindow(void *parent, const char *conduitName, ActionChoice *choice);

#endif
