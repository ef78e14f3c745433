// HotSync log of the stand-in. Entries stay in memory for the tests and, when
// a log file is chosen, are appended to it one per line as
// "<activity>\t<text>\n", with newline, tab and backslash in the text written
// as \n, \t and \\. The file is written with POSIX calls, not stdio: the
// conduit's tests intercept the stdio functions by name, and the log must not
// be counted among the conduit's own file operations.
//
// StandinSetLogFile(path) chooses the file; a null or empty path goes back to
// HOTSYNC_LOG, read at the next entry (unset or empty: no file). An entry that
// cannot be appended to the file is still kept in memory and the call answers
// kStandinErrIo. A null text or format answers kStandinErrBadArgument and
// records nothing. The flag argument is ignored.
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "hostile.h"
#include "os.h"
#include "standin.h"

namespace {

struct Entry {
    int32_t activity;
    std::string text;
};

struct Log {
    bool fileChosen = false;
    std::string file;
    std::vector<Entry> entries;
};

Log &TheLog() {
    static Log log;
    return log;
}

const std::string &LogFile() {
    Log &log = TheLog();
    if (!log.fileChosen) {
        const char *env = getenv("HOTSYNC_LOG");
        log.file = env != nullptr ? env : "";
        log.fileChosen = true;
    }
    return log.file;
}

std::string FileLine(int32_t activity, const std::string &text) {
    std::string line = std::to_string(activity) + "\t";
    for (char c : text) {
        switch (c) {
        case '\n': line += "\\n"; break;
        case '\t': line += "\\t"; break;
        case '\\': line += "\\\\"; break;
        default: line += c;
        }
    }
    line += '\n';
    return line;
}

int32_t AppendToFile(const std::string &path, const std::string &line) {
    int fd = standin::os::OpenFile(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0) return kStandinErrIo;
    int32_t status = 0;
    size_t done = 0;
    while (done < line.size()) {
        ssize_t n = write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            status = kStandinErrIo;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 && status == 0) status = kStandinErrIo;
    return status;
}

int32_t Record(int32_t activity, std::string text) {
    const std::string &path = LogFile();
    int32_t status = path.empty() ? 0 : AppendToFile(path, FileLine(activity, text));
    TheLog().entries.push_back(Entry{activity, std::move(text)});
    return status;
}

int32_t RecordFormatted(int32_t activity, const char *format, va_list args) {
    if (format == nullptr) return kStandinErrBadArgument;
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length));
        vsnprintf(&text[0], text.size() + 1, format, again);
    }
    va_end(again);
    if (length < 0) return kStandinErrBadArgument;
    return Record(activity, std::move(text));
}

}  // namespace

extern "C" {

void StandinSetLogFile(const char *path) {
    Log &log = TheLog();
    log.fileChosen = path != nullptr && path[0] != '\0';
    log.file = log.fileChosen ? path : "";
}

void StandinClearLog(void) { TheLog().entries.clear(); }

size_t StandinLogCount(void) { return TheLog().entries.size(); }

int32_t StandinLogActivity(size_t index) {
    const auto &entries = TheLog().entries;
    return index < entries.size() ? entries[index].activity : 0;
}

const char *StandinLogText(size_t index) {
    const auto &entries = TheLog().entries;
    return index < entries.size() ? entries[index].text.c_str() : nullptr;
}

// No caller uses a log entry's result, so hostile mode answers anything.
int32_t HS_CALL LogAddEntry(const char *text, int32_t activity, int32_t /*flag*/) {
    int32_t status = 0;
    if (!StandinShouldFail("LogAddEntry", &status))
        status = text == nullptr ? kStandinErrBadArgument : Record(activity, text);
    return standin::UnexaminedResult(status);
}

int32_t HS_CALL LogAddFormattedEntry(int32_t activity, int32_t /*flag*/, const char *format, ...) {
    int32_t status = 0;
    if (!StandinShouldFail("LogAddFormattedEntry", &status)) {
        va_list args;
        va_start(args, format);
        status = RecordFormatted(activity, format, args);
        va_end(args);
    }
    return standin::UnexaminedResult(status);
}

}  // extern "C"
