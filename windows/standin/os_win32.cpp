// os.h for the Windows stand-in DLLs: the C runtime's stdio in binary mode,
// and MoveFileExA for the replacing rename that the runtime's rename() refuses.
#include <direct.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <cerrno>

#include "os.h"

namespace standin {
namespace os {

namespace {

int WriteFile(const std::string &path, const char *mode, const void *data, size_t size) {
    FILE *f = fopen(path.c_str(), mode);
    if (f == nullptr) return -1;
    bool written = fwrite(data, 1, size, f) == size;
    if (fclose(f) != 0) written = false;
    return written ? 0 : -1;
}

}  // namespace

int ReadAll(const std::string &path, std::string *bytes) {
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return -1;
    bytes->clear();
    char chunk[65536];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->append(chunk, n);
    bool failed = ferror(f) != 0;
    fclose(f);
    return failed ? -1 : 0;
}

int WriteAll(const std::string &path, const void *data, size_t size) {
    std::string temporary = path + ".tmpXXXXXX";
    if (_mktemp_s(&temporary[0], temporary.size() + 1) != 0) return -1;
    int status = WriteFile(temporary, "wb", data, size);
    if (status == 0 &&
        MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        status = -1;
    }
    if (status != 0) _unlink(temporary.c_str());
    return status;
}

int Append(const std::string &path, const std::string &text) {
    return WriteFile(path, "ab", text.data(), text.size());
}

int RemoveFile(const std::string &path) { return _unlink(path.c_str()); }

int MakeDirectory(const std::string &path) { return _mkdir(path.c_str()); }

int RemoveDirectory(const std::string &path) { return _rmdir(path.c_str()); }

int PathStatus(const std::string &path, struct stat *status) { return stat(path.c_str(), status); }

bool StandardInputIsTerminal() { return _isatty(0) != 0; }

bool IsAbsolutePath(const std::string &path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace os
}  // namespace standin
