/*
 * The stand-in's whole files, in binary, with nothing but stdio and
 * std::filesystem, so the Linux library and the Windows DLLs share them.
 * Each answers 0, kStandinErrNotFound when there is no such file, or
 * kStandinErrIo.
 */
#ifndef LENSFOLIO_HOTSYNC_OS_H
#define LENSFOLIO_HOTSYNC_OS_H

#include <stddef.h>

#include <string>

namespace standin {
namespace os {

int ReadAll(const std::string &path, std::string *bytes);
// Replaces the file whole: a temporary file beside it, then a rename over
// it, so a reader never sees half a file and a failure leaves the old one.
int WriteAll(const std::string &path, const void *data, size_t size);
inline int WriteAll(const std::string &path, const std::string &bytes) {
    return WriteAll(path, bytes.data(), bytes.size());
}
// Appends `text` with one write, creating the file if needed.
int Append(const std::string &path, const std::string &text);
bool IsAbsolutePath(const std::string &path);
bool StandardInputIsTerminal();

}  // namespace os
}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_OS_H
