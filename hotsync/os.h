/*
 * The stand-in's files, in binary, with nothing but stdio and
 * std::filesystem, so the Linux library and the Windows DLLs share them.
 * Each answers 0, kStandinErrNotFound when there is no such file, or
 * kStandinErrIo. The path conversions below are each platform's own
 * (os_posix.cpp, os_win32.cpp).
 */
#ifndef LENSFOLIO_HOTSYNC_OS_H
#define LENSFOLIO_HOTSYNC_OS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <memory>
#include <string>

namespace standin {
namespace os {

int ReadAll(const std::string &path, std::string *bytes);

// A file read piece by piece, mostly one piece after the other: it seeks
// only when a read does not start where the last one ended.
class Source {
public:
    int Open(const std::string &path);
    uint64_t Size() const { return size_; }
    // The whole piece, or kStandinErrIo.
    int Read(uint64_t offset, void *into, size_t size);
    void Close() { file_.reset(); }

private:
    std::unique_ptr<FILE, int (*)(FILE *)> file_{nullptr, fclose};
    uint64_t size_ = 0, at_ = 0;
};

// A file replaced whole: the bytes go to a temporary file beside it, which
// Commit renames over it, so a reader never sees half a file and a failure
// leaves the old one. Not committed, the temporary file is removed.
class Replacement {
public:
    explicit Replacement(const std::string &path);
    ~Replacement();
    void Write(const void *data, size_t size);
    void Copy(Source *from, uint64_t offset, size_t size);
    int Commit();

private:
    void Flush();
    std::string path_, temporary_;
    FILE *file_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    bool failed_ = false, renamed_ = false;
};

int WriteAll(const std::string &path, const std::string &bytes);
// Appends `text` with one write, creating the file if needed.
int Append(const std::string &path, const std::string &text);
bool IsAbsolutePath(const std::string &path);

// A path as this platform's file calls take it. The setup programs build
// Windows paths, so on Linux each backslash becomes '/'. On Windows the path
// stays as it is: in a double-byte code page a backslash byte may be the
// second half of a letter.
std::string NativePath(std::string path);
// std::filesystem's view of a narrow path, and back. Its own conversion
// follows the C runtime's locale, which a host may have left at "C"; these
// take the ANSI code page on Windows, as the A calls and fopen do.
std::filesystem::path FsPath(const std::string &path);
std::string FsString(const std::filesystem::path &path);
bool StandardInputIsTerminal();

}  // namespace os
}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_OS_H
