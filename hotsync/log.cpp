// HotSync log of the stand-in. Entries stay in memory for the tests and are
// appended to the log file (StandinSetLogFile, else HOTSYNC_LOG; none when
// both are empty) as "<activity>\t<text>\n", the text escaped as in the
// trace. An entry the file does not take is still kept, and answers
// kStandinErrIo; a null text or format records nothing. The flag is ignored.
#include <stdarg.h>
#include <stdio.h>

#include <optional>
#include <string>
#include <vector>

#include "os.h"
#include "standin.h"
#include "trace.h"

namespace {

struct Entry {
    int32_t activity;
    std::string text;
};

struct Log {
    std::optional<std::string> file;
    std::vector<Entry> entries;
};

Log &TheLog() {
    static Log log;
    return log;
}

int32_t Record(int32_t activity, std::string text) {
    const std::string &path =
        standin::Chosen(TheLog().file, [] { return standin::Environment("HOTSYNC_LOG"); });
    std::string line = std::to_string(activity) + "\t" + standin::EscapeField(text) + "\n";
    int32_t status = path.empty() || standin::os::Append(path, line) == 0 ? 0 : kStandinErrIo;
    TheLog().entries.push_back(Entry{activity, std::move(text)});
    return status;
}

int32_t RecordFormatted(int32_t activity, const char *format, va_list args) {
    if (format == nullptr) return kStandinErrBadArgument;
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    return length < 0 ? int32_t{kStandinErrBadArgument} : Record(activity, std::move(text));
}

}  // namespace

extern "C" {

void StandinSetLogFile(const char *path) { TheLog().file = standin::TextSetting(path); }

void StandinClearLog(void) { TheLog().entries.clear(); }

size_t StandinLogCount(void) { return TheLog().entries.size(); }

int32_t StandinLogActivity(size_t index) {
    return index < TheLog().entries.size() ? TheLog().entries[index].activity : 0;
}

const char *StandinLogText(size_t index) {
    return index < TheLog().entries.size() ? TheLog().entries[index].text.c_str() : nullptr;
}

// No caller uses a log entry's result, so hostile mode answers anything.
int32_t HS_CALL LogAddEntry(const char *text, int32_t activity, int32_t /*flag*/) {
    return standin::Call(
        "LogAddEntry",
        [=] { return text == nullptr ? int32_t{kStandinErrBadArgument} : Record(activity, text); },
        standin::Unexamined, text, activity);
}

int32_t HS_CALL LogAddFormattedEntry(int32_t activity, int32_t /*flag*/, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int32_t result = standin::Call(
        "LogAddFormattedEntry", [&] { return RecordFormatted(activity, format, args); },
        standin::Unexamined, format, activity);
    va_end(args);
    return result;
}

}  // extern "C"
