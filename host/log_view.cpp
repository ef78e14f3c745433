// log: the user's HotSync log, entry by entry with activity codes.
#include <cstdio>
#include <cstdlib>

#include "os.h"
#include "standin.h"
#include "sync_run.h"

namespace host {

namespace {

struct LogLine {
    std::string activity;
    std::string text;
};

const char *ActivityLabel(long activity) {
    switch (activity) {
    case kLogActivityDoNothing: return "note";
    case kLogActivityStart: return "start";
    case kLogActivityEndSuccess: return "end OK";
    case kLogActivityEndFailure: return "end failed";
    case kLogActivityError: return "error";
    case kLogHostSyncStart: return "HotSync";
    case kLogHostSyncEnd: return "HotSync end";
    case kLogHostInfo: return "info";
    case kLogHostWarning: return "warning";
    case kLogHostError: return "host error";
    default: return "";
    }
}

// The log file writes newline, tab, carriage return and backslash as \n, \t, \r and \\.
std::string Unescape(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        out += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<LogLine> ParseLog(const std::string &content) {
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            lines.push_back({"?", line});
        } else {
            lines.push_back({line.substr(0, tab), Unescape(line.substr(tab + 1))});
        }
    }
    return lines;
}

size_t FirstOfLastSync(const std::vector<LogLine> &lines) {
    const std::string start = std::to_string(kLogHostSyncStart);
    for (size_t i = lines.size(); i-- > 0;) {
        if (lines[i].activity == start) return i;
    }
    return 0;
}

}  // namespace

int RunLog(const GlobalOptions &options, const std::string &user, bool lastOnly) {
    UserContext context;
    int status = ResolveUser(options, user, &context);
    if (status != kExitOk) return status;
    const std::string path = UserLogPath(context);
    std::string content;
    int read = standin::os::ReadAll(path, &content);
    if (read == kStandinErrNotFound) {
        std::printf("No HotSync log yet for \"%s\" (%s).\n", ToTerminal(context.user.name).c_str(),
                    path.c_str());
        return kExitOk;
    }
    if (read != 0) return Error("cannot read " + path);
    std::vector<LogLine> lines = ParseLog(content);
    std::printf("HotSync log of \"%s\" (%s)\n", ToTerminal(context.user.name).c_str(), path.c_str());
    std::printf("%8s  %-11s %s\n", "activity", "", "text");
    for (size_t i = lastOnly ? FirstOfLastSync(lines) : 0; i < lines.size(); ++i) {
        const LogLine &line = lines[i];
        const char *label = ActivityLabel(std::strtol(line.activity.c_str(), nullptr, 10));
        std::printf("%8s  %-11s %s\n", line.activity.c_str(), label, ToTerminal(line.text).c_str());
    }
    return kExitOk;
}

}  // namespace host
