// Stands in front of libc's stdio for the conduit's desktop-file I/O, so the
// copy tests can fail its fopen, writes, reads, fclose, rename and remove
// through the stand-in's fault table ("fopen", "fclose", "fwrite", "fgets",
// "rename", "remove"). Only calls made while armed, on files opened while
// armed, are counted.
#ifndef LENSFOLIO_STDIO_FAULTS_H
#define LENSFOLIO_STDIO_FAULTS_H

void ArmStdioFaults(bool armed);
int OpenStdioFiles();  // streams opened while armed and not yet closed

#endif
