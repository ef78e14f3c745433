#include "stdio_faults.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>

#include "standin.h"

namespace {

std::string g_directory;  // with a trailing '/'; empty: disarmed
std::set<FILE *> g_tracked;
std::set<FILE *> g_failed;  // streams whose read was made to fail

template <typename Fn>
Fn Real(const char *name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

bool Tracked(FILE *f) { return g_tracked.count(f) != 0; }

bool Armed(const char *path) {
    return !g_directory.empty() && path != nullptr &&
           std::string(path).compare(0, g_directory.size(), g_directory) == 0;
}

bool Fails(const char *operation) {
    int32_t status = 0;
    return StandinShouldFail(operation, &status) != 0;
}

}  // namespace

void ArmStdioFaults(const std::string &directory) {
    g_directory = directory;
    if (!g_directory.empty() && g_directory.back() != '/') g_directory += '/';
}
int OpenStdioFiles() { return static_cast<int>(g_tracked.size()); }

extern "C" {

FILE *fopen(const char *path, const char *mode) {
    static auto real = Real<FILE *(*)(const char *, const char *)>("fopen");
    if (!Armed(path)) return real(path, mode);
    if (Fails("fopen")) {
        errno = EACCES;
        return nullptr;
    }
    FILE *f = real(path, mode);
    if (f != nullptr) g_tracked.insert(f);
    return f;
}

int fclose(FILE *f) {
    static auto real = Real<int (*)(FILE *)>("fclose");
    if (!Tracked(f)) return real(f);
    g_tracked.erase(f);
    g_failed.erase(f);
    int result = real(f);
    // The stream is gone either way, as with a real failed close.
    if (Fails("fclose")) return EOF;
    return result;
}

int fprintf(FILE *f, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = -1;
    if (!Tracked(f) || !Fails("fwrite")) result = vfprintf(f, format, args);
    va_end(args);
    return result;
}

int fputs(const char *text, FILE *f) {
    static auto real = Real<int (*)(const char *, FILE *)>("fputs");
    if (Tracked(f) && Fails("fwrite")) return EOF;
    return real(text, f);
}

size_t fwrite(const void *data, size_t size, size_t count, FILE *f) {
    static auto real = Real<size_t (*)(const void *, size_t, size_t, FILE *)>("fwrite");
    if (Tracked(f) && Fails("fwrite")) return 0;
    return real(data, size, count, f);
}

char *fgets(char *buffer, int size, FILE *f) {
    static auto real = Real<char *(*)(char *, int, FILE *)>("fgets");
    if (Tracked(f) && Fails("fgets")) {
        g_failed.insert(f);
        return nullptr;
    }
    return real(buffer, size, f);
}

int ferror(FILE *f) {
    static auto real = Real<int (*)(FILE *)>("ferror");
    if (g_failed.count(f)) return 1;
    return real(f);
}

int remove(const char *path) {
    static auto real = Real<int (*)(const char *)>("remove");
    if (Armed(path) && Fails("remove")) {
        errno = EACCES;
        return -1;
    }
    return real(path);
}

}  // extern "C"
