/*
 * The one way every stand-in operation runs: the fault table, the real work
 * (skipped when a fault fires), what hostile mode makes of the outcome (after
 * the work, since most choices depend on what it delivered), the call trace.
 */
#ifndef LENSFOLIO_HOTSYNC_TRACE_H
#define LENSFOLIO_HOTSYNC_TRACE_H

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "hostile.h"
#include "standin.h"

namespace standin {

using Arguments = std::vector<std::string>;

// Tab, newline, carriage return and backslash as \t, \n, \r and \\: one
// tab-separated field of the trace or the HotSync log.
std::string EscapeField(const std::string &text);

std::vector<std::string> Split(const std::string &text, char separator);
std::string Trim(const std::string &text);
// A whole text as an integer within [low, high] (base 0 allows 0x).
bool ParseInteger(const std::string &text, int base, long long low, long long high,
                  long long *value);

std::string Environment(const char *name);  // "" when unset
// A setting a control call chose, else what `fromEnvironment()` makes of the
// environment at first use; a reset empties `setting` again.
template <typename T, typename F>
T &Chosen(std::optional<T> &setting, F fromEnvironment) {
    if (!setting) setting = fromEnvironment();
    return *setting;
}
// What a control call sets: null or empty goes back to the environment.
inline std::optional<std::string> TextSetting(const char *text) {
    return text && *text ? std::optional<std::string>(text) : std::nullopt;
}

bool Tracing();
// Appends "<operation>\t<injected 0|1>\t<result>\t<argument>...\n" to the file
// named by HOTSYNC_TRACE.
void TraceCall(const char *operation, bool injected, int64_t result, const Arguments &arguments);
void WriteStderr(const std::string &text);

// Each part's state as when loaded, for StandinReset.
void ResetHostile();
void ResetSyncManager();
void ResetAnswers();
void ResetDialogs();

// The first of `entries` that `match` takes, or null.
template <typename Entries, typename Match>
auto FindEntry(Entries &entries, Match match) -> decltype(&*entries.begin()) {
    auto it = std::find_if(entries.begin(), entries.end(), match);
    return it == entries.end() ? nullptr : &*it;
}

// A trace argument: a text as it is ("(null)" for none), a number in decimal.
inline std::string Argument(const char *text) { return text ? text : "(null)"; }
inline std::string Argument(const std::string &text) { return text; }
template <typename Number, typename = std::enable_if_t<std::is_arithmetic_v<Number>>>
std::string Argument(Number number) { return std::to_string(number); }
// "*size" on entry, or "(null)".
inline std::string SizeArgument(const uint32_t *size) { return size ? Argument(*size) : "(null)"; }

// The trace arguments: the values given, or what a single function answers.
template <typename... Values>
Arguments Described(const Values &...values) {
    if constexpr (sizeof...(Values) == 1 && (std::is_invocable_v<Values> && ...))
        return (values(), ...);
    else
        return Arguments{Argument(values)...};
}

// One call of `operation`: `work()` answers the real result, or the injected
// status stands in for it; `outcome(result, injected)` what the caller gets;
// `describe` the trace arguments, or a function asked last, so that it can show
// what the call delivered. Nothing is formatted while there is no trace.
template <typename Work, typename Outcome, typename... Describe>
auto Call(const char *operation, Work work, Outcome outcome, const Describe &...describe)
    -> decltype(work()) {
    using Result = decltype(work());
    int32_t status = 0;
    bool injected = StandinShouldFail(operation, &status) != 0;
    Result result = injected ? static_cast<Result>(status) : work();
    result = outcome(result, injected);
    if (Tracing())
        TraceCall(operation, injected, static_cast<int64_t>(result), Described(describe...));
    return result;
}

// The usual outcomes. A status: `meaningful` as for FailureStatus.
inline auto Status(int32_t meaningful = 0) {
    return [meaningful](int32_t status, bool) { return FailureStatus(status, meaningful); };
}
// In hostile mode HostileAny(), for a result the caller does not examine.
int32_t Unexamined(int32_t result, bool injected);
// A text query into the caller's buffer of *size bytes: on failure no defined
// text at all.
inline auto TextQuery(char *buffer, uint32_t *size) {
    const uint32_t stated = size ? *size : 0;
    return [=](int32_t status, bool) {
        HostileText(status, buffer, stated, size);
        return FailureStatus(status);
    };
}
// In hostile mode any non-zero value for yes (a non-zero `result`).
int32_t YesOrNo(int32_t result, bool injected);

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_TRACE_H
