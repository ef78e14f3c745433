/* A forwarding DLL holds no code of its own: its .def sends every export to
 * hotsync.dll. The entry point only has to say yes. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
