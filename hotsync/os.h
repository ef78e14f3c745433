/*
 * The few file-system calls of the stand-in that differ between platforms,
 * one implementation per platform chosen by the build: os_posix.cpp here,
 * windows/standin/os_win32.cpp for the Windows DLLs. Each answers like its
 * POSIX counterpart: 0 (or a descriptor) for success, -1 with errno set.
 * Like the rest of the stand-in they never go through stdio, whose names the
 * conduit's tests intercept.
 */
#ifndef LENSFOLIO_HOTSYNC_OS_H
#define LENSFOLIO_HOTSYNC_OS_H

#include <stddef.h>
#include <sys/stat.h>

#include <string>

namespace standin {
namespace os {

// open() with close-on-exec, in binary mode where the platform has a text mode.
int OpenFile(const std::string &path, int flags, int mode = 0644);
// Creates and opens a new file from `pathTemplate` (ending in XXXXXX, replaced
// in place), readable by everyone like any other file the stand-in writes.
int CreateTemporaryFile(std::string *pathTemplate);
// Renames `from` to `to`, replacing `to` if it exists.
int RenameReplacing(const std::string &from, const std::string &to);
int RemoveFile(const std::string &path);
int MakeDirectory(const std::string &path);
int PathStatus(const std::string &path, struct stat *status);
bool IsAbsolutePath(const std::string &path);
// The process's current directory, "" on failure.
std::string CurrentDirectory();
int ProcessId();
// Uninitialised memory for a whole .pdb or a run of record bodies; null when
// there is none. Touching tens of megabytes page by page can cost more in
// page faults than the copying itself, so the POSIX version hands out large
// blocks in huge pages where the kernel has them.
void *AllocateBlock(size_t size);
// `size` as given to AllocateBlock.
void FreeBlock(void *block, size_t size);

}  // namespace os
}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_OS_H
