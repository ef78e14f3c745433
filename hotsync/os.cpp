#include "os.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "standin.h"

namespace standin {
namespace os {

namespace {

// Unbuffered, so that the bytes go out in one write.
int WriteFile(const std::string &path, const char *mode, const void *data, size_t size) {
    FILE *f = fopen(path.c_str(), mode);
    if (f == nullptr) return kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    bool written = fwrite(data, 1, size, f) == size;
    if (fclose(f) != 0) written = false;
    return written ? 0 : kStandinErrIo;
}

}  // namespace

int ReadAll(const std::string &path, std::string *bytes) {
    bytes->clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT ? kStandinErrNotFound : kStandinErrIo;
    // One allocation for the whole file instead of a growing string's copies.
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(FsPath(path), error);
    if (!error) bytes->reserve(static_cast<size_t>(size));
    char chunk[65536];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->append(chunk, n);
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) bytes->clear();
    return failed ? kStandinErrIo : 0;
}

int WriteAll(const std::string &path, const void *data, size_t size) {
    const std::string temporary = path + ".tmp";
    int status = WriteFile(temporary, "wb", data, size);
    std::error_code error;
    if (status == 0) std::filesystem::rename(FsPath(temporary), FsPath(path), error);
    if (error) status = kStandinErrIo;
    if (status != 0) remove(temporary.c_str());
    return status;
}

int Append(const std::string &path, const std::string &text) {
    return WriteFile(path, "ab", text.data(), text.size());
}

// A Windows path that starts at a root or a drive counts too, for the DLLs.
bool IsAbsolutePath(const std::string &path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' ||
                             FsPath(path).is_absolute());
}

bool StandardInputIsTerminal() { return isatty(0) == 1; }

}  // namespace os
}  // namespace standin
