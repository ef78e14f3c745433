// The host's platform calls on POSIX systems.
#include <dlfcn.h>
#include <langinfo.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "host_os.h"

namespace host {
namespace os {

void *OpenLibrary(const std::string &path, std::string *error) {
    // A conduit runs in the host's process and is unloaded after each use,
    // so its symbols stay local to it.
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *reason = dlerror();
        *error = reason ? reason : "unknown reason";
    }
    return library;
}

LibraryFunction LibraryExport(void *library, const char *name) {
    return reinterpret_cast<LibraryFunction>(dlsym(library, name));
}

void CloseLibrary(void *library) { dlclose(library); }

bool ProgressTerminal() { return isatty(STDERR_FILENO) != 0; }

bool TerminalIsUtf8() {
    const char *codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

bool LocalTime(std::time_t time, std::tm *local) { return localtime_r(&time, local) != nullptr; }

bool MakeUniqueDirectory(std::string *pathTemplate) { return mkdtemp(&(*pathTemplate)[0]) != nullptr; }

struct ScratchStream {
    FILE *file = nullptr;
    char *buffer = nullptr;
    size_t size = 0;
};

ScratchStream *OpenScratchStream() {
    ScratchStream *stream = new ScratchStream;
    stream->file = open_memstream(&stream->buffer, &stream->size);
    if (stream->file) return stream;
    delete stream;
    return nullptr;
}

FILE *ScratchFile(ScratchStream *stream) { return stream->file; }

bool CloseScratchStream(ScratchStream *stream, std::string *contents) {
    bool closed = std::fclose(stream->file) == 0;
    contents->clear();
    if (closed && stream->buffer) contents->assign(stream->buffer, stream->size);
    std::free(stream->buffer);
    delete stream;
    return closed;
}

}  // namespace os
}  // namespace host
