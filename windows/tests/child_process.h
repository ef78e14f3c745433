// Running a Windows program from a test, with its output collected.
#ifndef LENSFOLIO_WINDOWS_TESTS_CHILD_PROCESS_H
#define LENSFOLIO_WINDOWS_TESTS_CHILD_PROCESS_H

#include <string>
#include <vector>

struct ChildResult {
    int exitCode = -1;  // -1: the program could not be started
    std::string out;
    std::string err;
};

// Runs `program` with `args` (each quoted; none may hold a '"') and waits for
// it. Standard output and error go through files `scratchPrefix`.out/.err.
ChildResult RunChild(const std::string &program, const std::vector<std::string> &args,
                     const std::string &scratchPrefix);

#endif  // LENSFOLIO_WINDOWS_TESTS_CHILD_PROCESS_H
