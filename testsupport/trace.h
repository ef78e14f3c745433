// What a program asked of the platform, read back from the stand-in's call
// trace (HOTSYNC_TRACE): every operation with its outcome and arguments.
#ifndef LENSFOLIO_TESTSUPPORT_TRACE_H
#define LENSFOLIO_TESTSUPPORT_TRACE_H

#include <filesystem>
#include <string>
#include <vector>

struct PlatformCall {
    std::string operation;
    bool injected = false;  // the fault table answered instead of the operation
    long long result = 0;   // what the caller got
    std::vector<std::string> arguments;
};

// Every call the trace file holds, in order, its fields unescaped; a line
// that is no call fails the test.
std::vector<PlatformCall> ReadTrace(const std::filesystem::path &path);
// The calls of `operation` only.
std::vector<PlatformCall> CallsOf(const std::vector<PlatformCall> &calls,
                                  const std::string &operation);

#ifndef _WIN32
// HOTSYNC_TRACE names `path` while the object lives, for the tests that call
// the stand-in in their own process (defined in process_posix.cpp).
class ScopedTrace {
public:
    explicit ScopedTrace(std::filesystem::path path);
    ~ScopedTrace();
    ScopedTrace(const ScopedTrace &) = delete;
    ScopedTrace &operator=(const ScopedTrace &) = delete;

    std::vector<PlatformCall> Calls(const std::string &operation) const {
        return CallsOf(ReadTrace(path_), operation);
    }

private:
    std::filesystem::path path_;
};
#endif

#endif  // LENSFOLIO_TESTSUPPORT_TRACE_H
