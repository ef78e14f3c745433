/*
 * Helpers shared by the stand-in's operations: the call trace (HOTSYNC_TRACE),
 * the fault list from the environment (HOTSYNC_FAIL) and plain output on
 * standard error. All output goes through POSIX write(), never stdio.
 */
#ifndef LENSFOLIO_HOTSYNC_TRACE_H
#define LENSFOLIO_HOTSYNC_TRACE_H

#include <cstdint>
#include <initializer_list>
#include <string>

namespace standin {

// Tab, newline, carriage return and backslash as \t, \n, \r and \\, so a text
// fits in one tab-separated field.
std::string EscapeField(const std::string &text);
// A C string argument for a trace or box log: "(null)" for a null pointer.
std::string TextArgument(const char *text);

// Appends one line to the file named by HOTSYNC_TRACE, if set:
// "<operation>\t<injected 0|1>\t<result>\t<argument>\t...\n".
void TraceCall(const char *operation, bool injected, int64_t result,
               std::initializer_list<std::string> arguments);

// Asks the fault table (StandinShouldFail) and returns true when this call
// must fail; *status is then the injected status.
bool Injected(const char *operation, int32_t *status);

// Appends `line` to the file at `path` with one write (O_APPEND).
void AppendLine(const std::string &path, const std::string &line);
void WriteStderr(const std::string &text);

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_TRACE_H
