/*
 * The one way every stand-in operation runs, in the manner of SQLite's test
 * VFS: the fault table first, then the real work (skipped when a fault fires),
 * then what hostile mode makes of the outcome, then the call trace
 * (HOTSYNC_TRACE). Hostile choices come after the work because most of them
 * depend on what the work delivered (a status, a text, a record).
 */
#ifndef LENSFOLIO_HOTSYNC_TRACE_H
#define LENSFOLIO_HOTSYNC_TRACE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "hostile.h"
#include "standin.h"

namespace standin {

using Arguments = std::vector<std::string>;

// Tab, newline, carriage return and backslash as \t, \n, \r and \\, so a text
// fits in one tab-separated field of the trace, the box log and the HotSync log.
std::string EscapeField(const std::string &text);
// A C string argument for a trace or box log: "(null)" for a null pointer.
std::string TextArgument(const char *text);
// "*size" of a size argument on entry, "(null)" for a null pointer.
std::string SizeArgument(const uint32_t *size);

// Shared text helpers: pieces between separators, blanks trimmed, and a
// whole text as an integer within [low, high] (base 0 allows 0x).
std::vector<std::string> Split(const std::string &text, char separator);
std::string Trim(const std::string &text);
bool ParseInteger(const std::string &text, int base, long long low, long long high,
                  long long *value);
// Element `index` of `records` through `field`, or 0 (null) past the end: the
// accessors of the recorded boxes, dialogs, notifies and log entries.
template <typename T, typename Field>
auto At(const std::vector<T> &records, size_t index, Field field) -> decltype(field(records[0])) {
    return index < records.size() ? field(records[index]) : decltype(field(records[0])){};
}

bool Tracing();
// Appends "<operation>\t<injected 0|1>\t<result>\t<argument>...\n" to the file
// named by HOTSYNC_TRACE; only while Tracing().
void TraceCall(const char *operation, bool injected, int64_t result, const Arguments &arguments);
void WriteStderr(const std::string &text);

// Each part's own state back to that of a freshly loaded stand-in; StandinReset
// calls them all.
void ResetHostile();
void ResetSyncManager();
void ResetLog();
void ResetAnswers();
void ResetDialogs();
void ResetWindows();
void ResetRoot();
void ResetNotifies();

// Trace arguments given as they are, or by a function asked after the call.
template <typename F>
Arguments Described(const F &describe) {
    if constexpr (std::is_invocable_v<F>) {
        return describe();
    } else {
        return describe;
    }
}

// One call of `operation`: `work()` answers the real result; `outcome(result,
// injected)` what the caller gets (the injected status stands in for the
// result when a fault fired); `describe` the trace arguments, or a function
// that gives them, asked last so that it can show what the call delivered
// (and costs nothing while there is no trace).
template <typename Work, typename Outcome, typename Describe>
auto Call(const char *operation, Work work, Outcome outcome, Describe describe)
    -> decltype(work()) {
    using Result = decltype(work());
    int32_t status = 0;
    bool injected = StandinShouldFail(operation, &status) != 0;
    Result result = injected ? static_cast<Result>(status) : work();
    result = outcome(result, injected);
    if (Tracing())
        TraceCall(operation, injected, static_cast<int64_t>(result), Described(describe));
    return result;
}

// The usual outcomes: a status (`meaningful` is one the caller tells apart,
// see FailureStatus), a result nobody examines, a yes-or-no answer.
inline auto Status(int32_t meaningful = 0) {
    return [meaningful](int32_t status, bool) { return FailureStatus(status, meaningful); };
}
inline int32_t Unexamined(int32_t result, bool) { return UnexaminedResult(result); }
inline int32_t YesOrNo(int32_t result, bool) { return HostileYes(result); }

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_TRACE_H
