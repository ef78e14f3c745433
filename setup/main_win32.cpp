// Entry point of the Windows setup programs: GUI programs without a window of
// their own, so nothing flashes up; they talk through message boxes only. The
// arguments are not used.
#include <windows.h>

#include "setup_program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSetupProgram(); }
