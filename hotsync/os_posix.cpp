// os.h on POSIX systems.
#include "os.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace standin {
namespace os {

namespace {

int WriteFully(int fd, const void *data, size_t size) {
    const char *bytes = static_cast<const char *>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Closes `fd` and answers -1 with the first error's errno, else 0.
int Finish(int fd, int status) {
    int error = errno;
    if (close(fd) != 0 && status == 0) return -1;
    errno = error;
    return status;
}

}  // namespace

int ReadAll(const std::string &path, std::string *bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    bytes->clear();
    struct stat status;
    if (fstat(fd, &status) == 0 && status.st_size > 0)
        bytes->reserve(static_cast<size_t>(status.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Finish(fd, n < 0 ? -1 : 0);
        bytes->append(chunk, static_cast<size_t>(n));
    }
}

int WriteAll(const std::string &path, const void *data, size_t size) {
    std::string temporary = path + ".tmpXXXXXX";
    int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) return -1;
    // mkostemp makes the file private; ours are ordinary files.
    int status = fchmod(fd, 0644) == 0 ? WriteFully(fd, data, size) : -1;
    status = Finish(fd, status);
    if (status == 0) status = rename(temporary.c_str(), path.c_str());
    if (status != 0) unlink(temporary.c_str());
    return status;
}

int Append(const std::string &path, const std::string &text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    return Finish(fd, WriteFully(fd, text.data(), text.size()));
}

int RemoveFile(const std::string &path) { return unlink(path.c_str()); }

int MakeDirectory(const std::string &path) { return mkdir(path.c_str(), 0777); }

int RemoveDirectory(const std::string &path) { return rmdir(path.c_str()); }

int PathStatus(const std::string &path, struct stat *status) {
    return stat(path.c_str(), status);
}

bool StandardInputIsTerminal() { return isatty(0) == 1; }

bool IsAbsolutePath(const std::string &path) { return !path.empty() && path[0] == '/'; }

}  // namespace os
}  // namespace standin
