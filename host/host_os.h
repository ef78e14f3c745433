/*
 * The few calls of the host that differ between platforms, one
 * implementation per platform chosen by the build: host_os_posix.cpp here,
 * host_os_win32.cpp for hotsync.exe.
 */
#ifndef LENSFOLIO_HOST_OS_H
#define LENSFOLIO_HOST_OS_H

#include <cstdio>
#include <ctime>
#include <string>

namespace host {
namespace os {

// Any exported function; callers cast it to the export's own type.
using LibraryFunction = void (*)();

// Loads a conduit library with its symbols kept to itself; null on failure,
// with *error saying why.
void *OpenLibrary(const std::string &path, std::string *error);
// Null when the library has no such export.
LibraryFunction LibraryExport(void *library, const char *name);
void CloseLibrary(void *library);

// Whether standard error is a terminal that can redraw a line in place with
// "\r" and "\033[K" (on Windows this turns the console's escape sequences on).
bool ProgressTerminal();
// Whether the terminal shows UTF-8; call after setlocale().
bool TerminalIsUtf8();
// false when `time` cannot be expressed in local time.
bool LocalTime(std::time_t time, std::tm *local);
// Creates a new directory from `pathTemplate` (ending in XXXXXX, replaced in
// place); false when none could be created.
bool MakeUniqueDirectory(std::string *pathTemplate);

// A stream that keeps what is written to it, for text the host writes with
// the conduit's FILE-based writer and then compares (in memory where the
// platform has memory streams, else in a temporary file).
struct ScratchStream;
// Null when no stream could be made.
ScratchStream *OpenScratchStream();
FILE *ScratchFile(ScratchStream *stream);
// Everything written, then the stream is closed and freed; false (with
// *contents empty) when it could not be read back.
bool CloseScratchStream(ScratchStream *stream, std::string *contents);

}  // namespace os
}  // namespace host

#endif  // LENSFOLIO_HOST_OS_H
