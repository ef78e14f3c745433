#include "trace.h"

#include <gtest/gtest.h>

#include "files.h"

namespace {

std::string Unescape(const std::string &field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        char c = field[++i];
        text += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return text;
}

}  // namespace

std::vector<PlatformCall> ReadTrace(const std::filesystem::path &path) {
    std::vector<PlatformCall> calls;
    for (const std::string &line : Lines(ReadAll(path))) {
        std::vector<std::string> fields;
        for (const std::string &field : Split(line, '\t')) fields.push_back(Unescape(field));
        EXPECT_GE(fields.size(), 3u) << line;
        if (fields.size() < 3) continue;
        calls.push_back({fields[0], fields[1] == "1", std::stoll(fields[2]),
                         std::vector<std::string>(fields.begin() + 3, fields.end())});
    }
    return calls;
}

std::vector<PlatformCall> CallsOf(const std::vector<PlatformCall> &calls,
                                  const std::string &operation) {
    std::vector<PlatformCall> found;
    for (const PlatformCall &call : calls) {
        if (call.operation == operation) found.push_back(call);
    }
    return found;
}
