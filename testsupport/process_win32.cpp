#include <windows.h>

#include "files.h"
#include "process.h"

namespace {

HANDLE OpenInheritable(const std::string &path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProcessResult RunChild(const std::string &program, const std::vector<std::string> &args,
                       const std::string &scratchPrefix, const std::string &cwd) {
    ProcessResult result;
    std::string commandLine = "\"" + program + "\"";
    for (const std::string &arg : args) commandLine += " \"" + arg + "\"";
    const std::string outPath = scratchPrefix + ".out";
    const std::string errPath = scratchPrefix + ".err";
    HANDLE out = OpenInheritable(outPath);
    HANDLE err = OpenInheritable(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, cwd.empty() ? nullptr : cwd.c_str(), &startup,
                                        &process);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (!started) return result;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = ReadAll(outPath);
    result.err = ReadAll(errPath);
    DeleteFileA(outPath.c_str());
    DeleteFileA(errPath.c_str());
    return result;
}
