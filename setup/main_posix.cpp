// Entry point where there is no WinMain. The programs take no arguments.
#include "setup_program.h"

int main() { return RunSetupProgram(); }
