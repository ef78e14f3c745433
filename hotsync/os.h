/*
 * Every file-system and process call of the stand-in, one implementation per
 * platform chosen by the build: os_posix.cpp here, windows/standin/os_win32.cpp
 * for the Windows DLLs. Each answers like its POSIX counterpart: 0 for
 * success, -1 with errno set.
 */
#ifndef LENSFOLIO_HOTSYNC_OS_H
#define LENSFOLIO_HOTSYNC_OS_H

#include <stddef.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace standin {
namespace os {

// The whole file, in binary. ENOENT when there is none.
int ReadAll(const std::string &path, std::string *bytes);
// Replaces the file whole and atomically: a temporary file beside it, then a
// rename, so a reader never sees half a file and a failure leaves the old one.
int WriteAll(const std::string &path, const void *data, size_t size);
// Appends `text` with one write, creating the file if needed.
int Append(const std::string &path, const std::string &text);
int RemoveFile(const std::string &path);
int MakeDirectory(const std::string &path);
int RemoveDirectory(const std::string &path);
int PathStatus(const std::string &path, struct stat *status);
bool IsAbsolutePath(const std::string &path);
bool StandardInputIsTerminal();
// The process's current directory, "" on failure.
inline std::string CurrentDirectory() {
    std::error_code error;
    std::string directory = std::filesystem::current_path(error).string();
    return error ? std::string() : directory;
}

}  // namespace os
}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_OS_H
