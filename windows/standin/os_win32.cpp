// os.h for the Windows stand-in DLLs. CRT calls only, and MoveFileExA for the
// replacing rename that the CRT's rename() refuses.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "os.h"

namespace standin {
namespace os {

int OpenFile(const std::string &path, int flags, int mode) {
    return _open(path.c_str(), flags | O_BINARY | O_NOINHERIT, mode & (_S_IREAD | _S_IWRITE));
}

int CreateTemporaryFile(std::string *pathTemplate) {
    if (_mktemp_s(&(*pathTemplate)[0], pathTemplate->size() + 1) != 0) return -1;
    return OpenFile(*pathTemplate, O_RDWR | O_CREAT | O_EXCL);
}

int RenameReplacing(const std::string &from, const std::string &to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return 0;
    errno = GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND
                ? ENOENT
                : EACCES;
    return -1;
}

int RemoveFile(const std::string &path) { return _unlink(path.c_str()); }

int MakeDirectory(const std::string &path) { return _mkdir(path.c_str()); }

int PathStatus(const std::string &path, struct stat *status) { return stat(path.c_str(), status); }

bool IsAbsolutePath(const std::string &path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (_getcwd(buffer.data(), static_cast<int>(buffer.size())) == nullptr) {
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

int ProcessId() { return _getpid(); }

void *AllocateBlock(size_t size) { return malloc(size == 0 ? 1 : size); }

void FreeBlock(void *block, size_t /*size*/) { free(block); }

}  // namespace os
}  // namespace standin
