// Call trace, the fault list from the environment, and standard-error output.
#include "os.h"
#include "trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "standin.h"
#include "standin_extra.h"

namespace standin {

namespace {

void WriteAllTo(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool ParseLong(const std::string &text, long long low, long long high, long long *value) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// "Operation:nth:status[:persistent]"
bool ApplyFailEntry(const std::string &entry) {
    std::vector<std::string> parts = Split(entry, ':');
    if (parts.size() < 3 || parts.size() > 4 || parts[0].empty()) return false;
    long long nth = 0;
    long long status = 0;
    if (!ParseLong(parts[1], 1, INT32_MAX, &nth)) return false;
    // Statuses are 32-bit; accept unsigned spellings such as 0xFFFFFFFF too.
    if (!ParseLong(parts[2], INT32_MIN, UINT32_MAX, &status)) return false;
    int persistent = 0;
    if (parts.size() == 4) {
        if (parts[3] != "persistent" && parts[3] != "p" && parts[3] != "1") return false;
        persistent = 1;
    }
    StandinFailCall(parts[0].c_str(), static_cast<int>(nth),
                    static_cast<int32_t>(static_cast<uint32_t>(status)), persistent);
    return true;
}

// Faults named in the environment hold from the first call on, whichever
// operation comes first, so they are applied when the library is loaded.
struct EnvironmentFaults {
    EnvironmentFaults() {
        const char *list = std::getenv("HOTSYNC_FAIL");
        if (list && *list) StandinApplyFailList(list);
    }
};

const EnvironmentFaults kEnvironmentFaults;

}  // namespace

std::string EscapeField(const std::string &text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t': escaped += "\\t"; break;
            case '\n': escaped += "\\n"; break;
            case '\r': escaped += "\\r"; break;
            case '\\': escaped += "\\\\"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string TextArgument(const char *text) { return text ? text : "(null)"; }

void TraceCall(const char *operation, bool injected, int64_t result,
               std::initializer_list<std::string> arguments) {
    const char *path = std::getenv("HOTSYNC_TRACE");
    if (!path || !*path) return;
    std::string line = std::string(operation) + "\t" + (injected ? "1" : "0") + "\t" +
                       std::to_string(result);
    for (const std::string &argument : arguments) line += "\t" + EscapeField(argument);
    AppendLine(path, line + "\n");
}

bool Injected(const char *operation, int32_t *status) {
    return StandinShouldFail(operation, status) != 0;
}

void AppendLine(const std::string &path, const std::string &line) {
    int fd = os::OpenFile(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0) return;
    WriteAllTo(fd, line);
    close(fd);
}

void WriteStderr(const std::string &text) { WriteAllTo(2, text); }

}  // namespace standin

extern "C" int StandinApplyFailList(const char *list) {
    if (!list) return kStandinErrBadArgument;
    int status = 0;
    for (const std::string &entry : standin::Split(list, ',')) {
        if (entry.empty()) continue;
        if (!standin::ApplyFailEntry(entry)) {
            standin::WriteStderr("hotsync stand-in: ignoring fault entry \"" + entry +
                                 "\" (expected Operation:nth:status[:persistent])\n");
            status = kStandinErrBadArgument;
        }
    }
    return status;
}
