// The Windows calls of the setup programs (KERNEL32, USER32 less MessageBoxA).
// Paths arrive built the Windows way; each backslash is taken as '/'.
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "hostile.h"
#include "os.h"
#include "standin.h"
#include "trace.h"

namespace {

namespace fs = std::filesystem;

// Like Windows: the length without the NUL when it fits, else the size needed
// with the NUL and the buffer untouched; 0 on failure.
uint32_t GetCurrent(uint32_t length, char *buffer) {
    std::error_code error;
    const std::string directory = fs::current_path(error).string();
    if (error || directory.empty()) return 0;
    const uint32_t needed = static_cast<uint32_t>(directory.size() + 1);
    if (!buffer || needed > length) return needed;
    std::memcpy(buffer, directory.c_str(), needed);
    return needed - 1;
}

// Replaces the target whole, so a half-written copy never stays behind.
int32_t Copy(const char *source, const char *target, bool failIfExists) {
    if (!source || !target) return 0;
    std::string from = standin::os::NativePath(source), to = standin::os::NativePath(target);
    standin::os::Source bytes;
    std::error_code error;
    if (failIfExists && fs::exists(to, error)) return 0;
    if (bytes.Open(from) != 0) return 0;
    standin::os::Replacement file(to);
    file.Copy(&bytes, 0, static_cast<size_t>(bytes.Size()));
    bytes.Close();
    return file.Commit() == 0 ? 1 : 0;
}

// A path call answering 1 for success and 0 for failure, like Windows.
template <typename Work, typename... More>
int32_t PathCall(const char *operation, const char *path, Work work, const More &...more) {
    auto call = [=] {
        std::error_code error;
        return path && work(fs::path(standin::os::NativePath(path)), error) ? 1 : 0;
    };
    return standin::Call(operation, call, standin::YesOrNo, path, more...);
}

// A file for DeleteFileA, a directory for RemoveDirectoryA.
template <bool directory>
bool RemoveIf(const fs::path &p, std::error_code &e) {
    return fs::is_directory(p, e) == directory && fs::remove(p, e);
}

}  // namespace

extern "C" {

// The result keeps its Windows meaning (the length, the size needed, or 0),
// but a current directory that failed or did not fit leaves no defined text.
uint32_t WIN_CALL GetCurrentDirectoryA(uint32_t length, char *buffer) {
    auto outcome = [=](uint32_t result, bool injected) {
        bool fits = !injected && result != 0 && result < length;
        standin::HostileText(fits ? 0 : 1, buffer, length, nullptr);
        return result;
    };
    return standin::Call("GetCurrentDirectoryA", [=] { return GetCurrent(length, buffer); },
                         outcome, length);
}

// Fails when the directory is there already.
int32_t WIN_CALL CreateDirectoryA(const char *path, void *security) {
    auto create = [](const fs::path &p, std::error_code &e) { return fs::create_directory(p, e); };
    return PathCall("CreateDirectoryA", path, create, security ? "security" : "(null)");
}

int32_t WIN_CALL CopyFileA(const char *source, const char *target, int32_t failIfExists) {
    return standin::Call(
        "CopyFileA", [=] { return Copy(source, target, failIfExists != 0); }, standin::YesOrNo,
        source, target, failIfExists);
}

int32_t WIN_CALL DeleteFileA(const char *path) {
    return PathCall("DeleteFileA", path, RemoveIf<false>);
}

// Fails when the directory still holds anything.
int32_t WIN_CALL RemoveDirectoryA(const char *path) {
    return PathCall("RemoveDirectoryA", path, RemoveIf<true>);
}

// Without kMoveFileReplaceExisting an existing target makes it fail, as on
// Windows; with it, rename(2) replaces the target in one step.
int32_t WIN_CALL MoveFileExA(const char *existing, const char *target, uint32_t flags) {
    auto move = [=](const fs::path &from, std::error_code &e) {
        const fs::path to(standin::os::NativePath(target));
        if (!(flags & kMoveFileReplaceExisting) && fs::exists(to, e)) return false;
        fs::rename(from, to, e);
        return !e;
    };
    return PathCall("MoveFileExA", target ? existing : nullptr, move, target, flags);
}

// Sleep and GetFocus cannot report a failure: a fault is counted and traced,
// and the call behaves as usual. Nothing here waits for anything, so Sleep
// returns at once.
void WIN_CALL Sleep(uint32_t milliseconds) {
    standin::Call("Sleep", [] { return 0; }, [](int, bool) { return 0; }, milliseconds);
}

// There is no window, so none has the focus; hostile mode makes up a new one each time, or none.
void *WIN_CALL GetFocus(void) {
    standin::Call("GetFocus", [] { return 0; }, [](int, bool) { return 0; });
    if (!standin::Hostile() || standin::HostileChance(4)) return nullptr;
    return reinterpret_cast<void *>(static_cast<uintptr_t>(standin::HostileNumber() | 1u));
}

}  // extern "C"
