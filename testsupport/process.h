// Child processes of the native tests (POSIX; the Windows tests start theirs
// with CreateProcess in windows/tests/child_process.cpp).
#ifndef LENSFOLIO_TESTSUPPORT_PROCESS_H
#define LENSFOLIO_TESTSUPPORT_PROCESS_H

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // 128 + the signal for a killed child
    std::string out;
    std::string err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs `argv` with the test's environment minus every HOTSYNC_ variable but
// HOTSYNC_HOSTILE, plus `env` (a later setting of a name wins), in `cwd`
// (unchanged when empty), with standard input from /dev/null and both
// outputs captured.
ProcessResult RunProcess(const std::vector<std::string> &argv, const Environment &env,
                         const std::string &cwd = std::string());

#endif  // LENSFOLIO_TESTSUPPORT_PROCESS_H
