#include "process.h"
#include "trace.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

extern char **environ;

namespace {

std::vector<std::string> ChildEnvironment(const Environment &env) {
    std::vector<std::string> entries;
    // Hostile mode, when the test runs in it, holds for its programs too.
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "HOTSYNC_", 8) != 0 || std::strncmp(*e, "HOTSYNC_HOSTILE=", 16) == 0)
            entries.push_back(*e);
    }
    // A later setting of a name replaces an earlier one.
    for (const auto &pair : env) {
        const std::string prefix = pair.first + "=";
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::string &e) { return e.rfind(prefix, 0) == 0; }),
                      entries.end());
        entries.push_back(prefix + pair.second);
    }
    return entries;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts) pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

void Drain(int outFd, int errFd, ProcessResult *result) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string *sinks[2] = {&result->out, &result->err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string> &argv, const Environment &env,
                         const std::string &cwd) {
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    std::vector<std::string> args = argv;
    std::vector<std::string> envs = ChildEnvironment(env);
    std::vector<char *> argp = Pointers(args);
    std::vector<char *> envp = Pointers(envs);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    Drain(outPipe[0], errPipe[0], &result);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

ScopedTrace::ScopedTrace(std::filesystem::path path) : path_(std::move(path)) {
    std::filesystem::remove(path_);
    setenv("HOTSYNC_TRACE", path_.string().c_str(), 1);
}

ScopedTrace::~ScopedTrace() { unsetenv("HOTSYNC_TRACE"); }
