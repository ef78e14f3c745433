// os.h on POSIX systems.
#include "os.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace standin {
namespace os {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t RoundUp(size_t size, size_t unit) { return (size + unit - 1) / unit * unit; }

}  // namespace

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

// Blocks under a huge page come from malloc. Larger ones are mapped on a
// huge-page boundary (over-mapped, then trimmed), so that the whole block can
// be backed by huge pages.
void *AllocateBlock(size_t size) {
    if (size < kHugePage) return malloc(size == 0 ? 1 : size);
    if (size > SIZE_MAX - 2 * kHugePage) return nullptr;
    size_t length = RoundUp(size, kHugePage);
    void *mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    uintptr_t aligned = RoundUp(start, kHugePage);
    if (aligned != start) munmap(mapped, aligned - start);
    size_t tail = start + kHugePage - aligned;
    if (tail != 0) munmap(reinterpret_cast<void *>(aligned + length), tail);
    void *block = reinterpret_cast<void *>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(block, length, MADV_HUGEPAGE);  // advice only: small pages work too
#endif
    return block;
}

void FreeBlock(void *block, size_t size) {
    if (block == nullptr) return;
    if (size < kHugePage) {
        free(block);
        return;
    }
    munmap(block, RoundUp(size, kHugePage));
}

}  // namespace os
}  // namespace standin
