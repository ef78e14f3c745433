// The host's platform calls on Windows (hotsync.exe).
#include <windows.h>

#include <cstdio>

#include "host_os.h"

namespace host {
namespace os {

namespace {

std::string WindowsPath(std::string path) {
    for (char &c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string ErrorText(DWORD code) {
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ' || text[length - 1] == '.')) {
        text[--length] = '\0';
    }
    char number[32];
    std::snprintf(number, sizeof number, "Windows error %lu", static_cast<unsigned long>(code));
    return length > 0 ? std::string(text) + " (" + number + ")" : std::string(number);
}

}  // namespace

void *OpenLibrary(const std::string &path, std::string *error) {
    // LoadLibraryA takes only backslashes as separators; the host builds
    // paths with '/'.
    HMODULE library = LoadLibraryA(WindowsPath(path).c_str());
    if (!library) *error = ErrorText(GetLastError());
    return reinterpret_cast<void *>(library);
}

LibraryFunction LibraryExport(void *library, const char *name) {
    FARPROC function = GetProcAddress(static_cast<HMODULE>(library), name);
    return reinterpret_cast<LibraryFunction>(reinterpret_cast<void *>(function));
}

void CloseLibrary(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }

bool ProgressTerminal() {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
    // Consoles before Windows 10 cannot take the escape sequences: no progress line there.
    return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool TerminalIsUtf8() { return GetConsoleOutputCP() == CP_UTF8; }

bool LocalTime(std::time_t time, std::tm *local) { return localtime_s(local, &time) == 0; }

bool MakeUniqueDirectory(std::string *pathTemplate) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    if (pathTemplate->size() < 6) return false;
    const size_t start = pathTemplate->size() - 6;
    unsigned long seed = GetCurrentProcessId() * 2654435761UL ^ GetTickCount();
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long value = seed + static_cast<unsigned long>(attempt) * 40503UL;
        for (size_t i = start; i < pathTemplate->size(); ++i) {
            (*pathTemplate)[i] = kLetters[value % 36];
            value /= 36;
        }
        if (CreateDirectoryA(WindowsPath(*pathTemplate).c_str(), nullptr)) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// A temporary file of Windows' temporary folder, deleted when it is closed
// ("D"); msvcrt's tmpfile() would make it in the root of the drive, where a
// user may not write.
struct ScratchStream {
    FILE *file = nullptr;
};

ScratchStream *OpenScratchStream() {
    char folder[MAX_PATH + 1];
    char path[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > sizeof folder) return nullptr;
    if (GetTempFileNameA(folder, "hs", 0, path) == 0) return nullptr;
    FILE *file = std::fopen(path, "w+bTD");
    if (!file) {
        DeleteFileA(path);
        return nullptr;
    }
    ScratchStream *stream = new ScratchStream;
    stream->file = file;
    return stream;
}

FILE *ScratchFile(ScratchStream *stream) { return stream->file; }

bool CloseScratchStream(ScratchStream *stream, std::string *contents) {
    contents->clear();
    bool ok = std::fflush(stream->file) == 0 && std::fseek(stream->file, 0, SEEK_SET) == 0;
    char buffer[65536];
    size_t got = 0;
    while (ok && (got = std::fread(buffer, 1, sizeof buffer, stream->file)) > 0) {
        contents->append(buffer, got);
    }
    ok = ok && !std::ferror(stream->file);
    ok = std::fclose(stream->file) == 0 && ok;
    delete stream;
    if (!ok) contents->clear();
    return ok;
}

}  // namespace os
}  // namespace host
