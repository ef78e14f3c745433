// The Windows calls of the setup programs (KERNEL32, USER32 less MessageBoxA).
// Paths arrive built the Windows way; each backslash is taken as '/'.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "hostile.h"
#include "root.h"
#include "standin.h"
#include "standin_extra.h"
#include "trace.h"

namespace {

struct SleepState {
    bool loaded = false;
    double scale = 1.0;
    uint64_t total = 0;
};

SleepState &Sleeping() {
    static SleepState state;
    return state;
}

double SleepScale() {
    SleepState &state = Sleeping();
    if (state.loaded) return state.scale;
    state.loaded = true;
    const char *env = std::getenv("HOTSYNC_SLEEP_SCALE");
    if (!env || !*env) return state.scale;
    char *end = nullptr;
    double scale = std::strtod(env, &end);
    if (*end != '\0' || !(scale >= 0.0)) {
        standin::WriteStderr("hotsync stand-in: HOTSYNC_SLEEP_SCALE must be a number >= 0\n");
        return state.scale;
    }
    state.scale = scale;
    return state.scale;
}

void Wait(double milliseconds) {
    if (milliseconds <= 0.0) return;
    struct timespec left;
    left.tv_sec = static_cast<time_t>(milliseconds / 1000.0);
    left.tv_nsec = static_cast<long>((milliseconds - left.tv_sec * 1000.0) * 1e6);
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

// Like Windows: the length without the NUL when it fits, else the size needed
// with the NUL and the buffer untouched; 0 on failure.
uint32_t GetCurrent(uint32_t length, char *buffer) {
    std::string directory = CurrentDirectory();
    if (directory.empty()) return 0;
    if (!buffer || directory.size() + 1 > length) {
        return static_cast<uint32_t>(directory.size() + 1);
    }
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<uint32_t>(directory.size());
}

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CopyContents(int from, int to) {
    char chunk[65536];
    for (;;) {
        ssize_t n = read(from, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(to, chunk, static_cast<size_t>(n))) return false;
    }
}

int32_t Copy(const std::string &source, const std::string &target, bool failIfExists) {
    int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return 0;
    struct stat info;
    if (fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(from);
        return 0;
    }
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
    int to = open(target.c_str(), flags, info.st_mode & 0777);
    if (to < 0) {
        close(from);
        return 0;
    }
    bool copied = CopyContents(from, to);
    close(from);
    if (close(to) != 0) copied = false;
    // A half-written copy is worse than none.
    if (!copied) unlinkat(AT_FDCWD, target.c_str(), 0);
    return copied ? 1 : 0;
}

std::string PathArgument(const char *path) { return standin::TextArgument(path); }

// The result keeps its Windows meaning (the length, the size needed, or 0),
// but a current directory that failed or did not fit leaves no defined text.
void HostileCurrent(bool injected, uint32_t result, uint32_t length, char *buffer) {
    bool fits = !injected && result != 0 && result < length;
    standin::HostileText(fits ? 0 : 1, buffer, length, nullptr);
}

// Some window, a different one each time, or none.
void *HostileFocus() {
    if (!standin::Hostile() || standin::HostileChance(4)) return nullptr;
    return reinterpret_cast<void *>(static_cast<uintptr_t>(standin::HostileNumber() | 1u));
}

}  // namespace

extern "C" {

uint32_t WIN_CALL GetCurrentDirectoryA(uint32_t length, char *buffer) {
    int32_t status = 0;
    bool injected = standin::Injected("GetCurrentDirectoryA", &status);
    uint32_t result = injected ? static_cast<uint32_t>(status) : GetCurrent(length, buffer);
    HostileCurrent(injected, result, length, buffer);
    standin::TraceCall("GetCurrentDirectoryA", injected, result, {std::to_string(length)});
    return result;
}

int32_t WIN_CALL CreateDirectoryA(const char *path, void *security) {
    int32_t status = 0;
    bool injected = standin::Injected("CreateDirectoryA", &status);
    if (!injected) {
        status = path && mkdir(standin::PosixPath(path).c_str(), 0777) == 0 ? 1 : 0;
    }
    status = standin::HostileYes(status);
    standin::TraceCall("CreateDirectoryA", injected, status,
                       {PathArgument(path), security ? "security" : "(null)"});
    return status;
}

int32_t WIN_CALL CopyFileA(const char *source, const char *target, int32_t failIfExists) {
    int32_t status = 0;
    bool injected = standin::Injected("CopyFileA", &status);
    if (!injected) {
        status = source && target ? Copy(standin::PosixPath(source), standin::PosixPath(target),
                                         failIfExists != 0)
                                  : 0;
    }
    status = standin::HostileYes(status);
    standin::TraceCall("CopyFileA", injected, status,
                       {PathArgument(source), PathArgument(target), std::to_string(failIfExists)});
    return status;
}

int32_t WIN_CALL DeleteFileA(const char *path) {
    int32_t status = 0;
    bool injected = standin::Injected("DeleteFileA", &status);
    if (!injected) {
        status = path && unlinkat(AT_FDCWD, standin::PosixPath(path).c_str(), 0) == 0 ? 1 : 0;
    }
    status = standin::HostileYes(status);
    standin::TraceCall("DeleteFileA", injected, status, {PathArgument(path)});
    return status;
}

int32_t WIN_CALL RemoveDirectoryA(const char *path) {
    int32_t status = 0;
    bool injected = standin::Injected("RemoveDirectoryA", &status);
    if (!injected) {
        status = path && rmdir(standin::PosixPath(path).c_str()) == 0 ? 1 : 0;
    }
    status = standin::HostileYes(status);
    standin::TraceCall("RemoveDirectoryA", injected, status, {PathArgument(path)});
    return status;
}

// Sleep and GetFocus cannot report a failure: a fault is counted and traced,
// and the call behaves as usual.
void WIN_CALL Sleep(uint32_t milliseconds) {
    int32_t status = 0;
    bool injected = standin::Injected("Sleep", &status);
    Sleeping().total += milliseconds;
    Wait(milliseconds * SleepScale());
    standin::TraceCall("Sleep", injected, 0, {std::to_string(milliseconds)});
}

// There is no window, so no window has the focus; hostile mode makes one up.
void *WIN_CALL GetFocus(void) {
    int32_t status = 0;
    bool injected = standin::Injected("GetFocus", &status);
    void *focus = HostileFocus();
    standin::TraceCall("GetFocus", injected, 0, {});
    return focus;
}

void StandinSetSleepScale(double scale) {
    SleepState &state = Sleeping();
    state.loaded = true;
    state.scale = scale > 0.0 ? scale : 0.0;
}

uint64_t StandinSleptMilliseconds(void) { return Sleeping().total; }

void StandinResetSleptMilliseconds(void) { Sleeping().total = 0; }

}  // extern "C"
