// os.h on POSIX systems.
#include "os.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace standin {
namespace os {

int OpenFile(const std::string &path, int flags, int mode) {
    return open(path.c_str(), flags | O_CLOEXEC, mode);
}

int CreateTemporaryFile(std::string *pathTemplate) {
    int fd = mkostemp(&(*pathTemplate)[0], O_CLOEXEC);
    if (fd < 0) return -1;
    // mkostemp makes the file private; ours are ordinary files.
    if (fchmod(fd, 0644) != 0) {
        int error = errno;
        close(fd);
        unlinkat(AT_FDCWD, pathTemplate->c_str(), 0);
        errno = error;
        return -1;
    }
    return fd;
}

// renameat and unlinkat rather than rename and remove: the conduit's tests
// intercept the stdio names.
int RenameReplacing(const std::string &from, const std::string &to) {
    return renameat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
}

int RemoveFile(const std::string &path) { return unlinkat(AT_FDCWD, path.c_str(), 0); }

int MakeDirectory(const std::string &path) { return mkdir(path.c_str(), 0777); }

int PathStatus(const std::string &path, struct stat *status) {
    return fstatat(AT_FDCWD, path.c_str(), status, 0);
}

bool IsAbsolutePath(const std::string &path) { return !path.empty() && path[0] == '/'; }

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

int ProcessId() { return static_cast<int>(getpid()); }

}  // namespace os
}  // namespace standin
