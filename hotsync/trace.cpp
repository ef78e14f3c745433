// Call trace and standard-error output.
#include "trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "os.h"

namespace standin {

std::string EscapeField(const std::string &text) {
    std::string escaped;
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

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator) parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

std::string Trim(const std::string &text) {
    const char *blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseInteger(const std::string &text, int base, long long low, long long high,
                  long long *value) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

// Asked by every call, so without making a string of the name.
bool Tracing() {
    const char *file = std::getenv("HOTSYNC_TRACE");
    return file != nullptr && *file != '\0';
}

void TraceCall(const char *operation, bool injected, int64_t result, const Arguments &arguments) {
    std::string line = std::string(operation) + "\t" + (injected ? "1" : "0") + "\t" +
                       std::to_string(result);
    for (const std::string &argument : arguments) line += "\t" + EscapeField(argument);
    os::Append(Environment("HOTSYNC_TRACE"), line + "\n");
}

void WriteStderr(const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace standin
