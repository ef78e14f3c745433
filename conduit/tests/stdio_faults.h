// Stands in front of libc's stdio for the conduit's desktop-file I/O, so the
// copy tests can fail its fopen, writes, reads, fclose and remove through the
// stand-in's fault table ("fopen", "fclose", "fwrite", "fgets", "remove"). Only calls on files below the armed directory, made
// while armed, are counted, so the stand-in's own files go untouched.
#ifndef LENSFOLIO_STDIO_FAULTS_H
#define LENSFOLIO_STDIO_FAULTS_H

#include <string>

// Arms the hooks for the files below `directory`; "" disarms them.
void ArmStdioFaults(const std::string &directory);
int OpenStdioFiles();  // streams opened while armed and not yet closed

#endif
