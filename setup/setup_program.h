/*
 * The one run of a setup program. Each program defines it; the platform's
 * entry point (main here, WinMain in a Windows build) only calls it.
 */
#ifndef LENSFOLIO_SETUP_PROGRAM_H
#define LENSFOLIO_SETUP_PROGRAM_H

// Always 0, the process exit code.
int RunSetupProgram(void);

#endif  // LENSFOLIO_SETUP_PROGRAM_H
