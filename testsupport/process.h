// Child processes of the tests: POSIX ones for the native suites, Windows
// ones for the suites under Wine.
#ifndef LENSFOLIO_TESTSUPPORT_PROCESS_H
#define LENSFOLIO_TESTSUPPORT_PROCESS_H

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1: not started; natively 128 + the signal of a killed child
    std::string out;
    std::string err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

#ifdef _WIN32
// Runs `program` with `args` (each quoted; none may hold a '"') in `cwd`
// (unchanged when empty) and waits for it; -1: it could not be started.
// Standard output and error go through files `scratchPrefix`.out/.err.
ProcessResult RunChild(const std::string &program, const std::vector<std::string> &args,
                       const std::string &scratchPrefix, const std::string &cwd = std::string());
#else
// Runs `argv` with the test's environment minus every HOTSYNC_ variable but
// HOTSYNC_HOSTILE, plus `env` (a later setting of a name wins), in `cwd`
// (unchanged when empty), with standard input from /dev/null and both
// outputs captured.
ProcessResult RunProcess(const std::vector<std::string> &argv, const Environment &env,
                         const std::string &cwd = std::string());
#endif

#endif  // LENSFOLIO_TESTSUPPORT_PROCESS_H
