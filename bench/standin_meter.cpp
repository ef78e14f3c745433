#include "standin_meter.h"

#include <dlfcn.h>
#include <valgrind/callgrind.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>

#include "platform.h"
#include "standin.h"

StandinMeter g_standinMeter;

int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {

struct RealStandin {
    decltype(&SyncRegisterConduit) registerConduit;
    decltype(&SyncUnRegisterConduit) unRegisterConduit;
    decltype(&SyncOpenDB) openDB;
    decltype(&SyncCreateDB) createDB;
    decltype(&SyncCloseDB) closeDB;
    decltype(&SyncResetSyncFlags) resetSyncFlags;
    decltype(&SyncWriteRec) writeRec;
    decltype(&SyncReadRecordByIndex) readRecordByIndex;
    decltype(&SyncPurgeDeletedRecs) purgeDeletedRecs;
    decltype(&SyncPurgeAllRecs) purgeAllRecs;
    decltype(&SyncGetDBRecordCount) getDBRecordCount;
    decltype(&LogAddEntry) logAddEntry;
    decltype(&LogAddFormattedEntry) logAddFormattedEntry;
};

RealStandin g_real;

template <typename Fn>
bool Resolve(const char *name, Fn *fn) {
    *fn = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    if (*fn == nullptr) std::fprintf(stderr, "bench: no stand-in function %s\n", name);
    return *fn != nullptr;
}

// One stand-in call, from entry to return.
class StandinCall {
public:
    explicit StandinCall(bool recordCall = false) : active_(g_standinMeter.measuring) {
        if (!active_) return;
        StandinMeter &m = g_standinMeter;
        if (m.toggleCallgrind) CALLGRIND_TOGGLE_COLLECT;
        ++m.depth;
        ++m.calls;
        // Inside the depth, so that what the mark itself allocates is not
        // counted as the conduit's.
        if (recordCall && m.recordMark != nullptr) m.recordMark();
        if (m.timeCalls) start_ = NowNanos();
    }
    ~StandinCall() {
        if (!active_) return;
        StandinMeter &m = g_standinMeter;
        if (m.timeCalls) m.standinNanos += NowNanos() - start_;
        --m.depth;
        if (m.toggleCallgrind) CALLGRIND_TOGGLE_COLLECT;
    }
    StandinCall(const StandinCall &) = delete;
    StandinCall &operator=(const StandinCall &) = delete;

private:
    bool active_;
    int64_t start_ = 0;
};

}  // namespace

bool ResolveStandin() {
    RealStandin &r = g_real;
    bool ok = Resolve("SyncRegisterConduit", &r.registerConduit);
    ok = Resolve("SyncUnRegisterConduit", &r.unRegisterConduit) && ok;
    ok = Resolve("SyncOpenDB", &r.openDB) && ok;
    ok = Resolve("SyncCreateDB", &r.createDB) && ok;
    ok = Resolve("SyncCloseDB", &r.closeDB) && ok;
    ok = Resolve("SyncResetSyncFlags", &r.resetSyncFlags) && ok;
    ok = Resolve("SyncWriteRec", &r.writeRec) && ok;
    ok = Resolve("SyncReadRecordByIndex", &r.readRecordByIndex) && ok;
    ok = Resolve("SyncPurgeDeletedRecs", &r.purgeDeletedRecs) && ok;
    ok = Resolve("SyncPurgeAllRecs", &r.purgeAllRecs) && ok;
    ok = Resolve("SyncGetDBRecordCount", &r.getDBRecordCount) && ok;
    ok = Resolve("LogAddEntry", &r.logAddEntry) && ok;
    ok = Resolve("LogAddFormattedEntry", &r.logAddFormattedEntry) && ok;
    return ok;
}

extern "C" {

int32_t HS_CALL SyncRegisterConduit(ConduitHandle *handle) {
    StandinCall call;
    return g_real.registerConduit(handle);
}

int32_t HS_CALL SyncUnRegisterConduit(ConduitHandle handle) {
    StandinCall call;
    return g_real.unRegisterConduit(handle);
}

int32_t HS_CALL SyncOpenDB(const char *name, int32_t cardNo, uint8_t *dbHandle, uint8_t openMode) {
    StandinCall call;
    return g_real.openDB(name, cardNo, dbHandle, openMode);
}

int32_t HS_CALL SyncCreateDB(SyncCreateRequest *request) {
    StandinCall call;
    return g_real.createDB(request);
}

int32_t HS_CALL SyncCloseDB(uint8_t dbHandle) {
    StandinCall call;
    return g_real.closeDB(dbHandle);
}

int32_t HS_CALL SyncResetSyncFlags(uint8_t dbHandle) {
    StandinCall call;
    return g_real.resetSyncFlags(dbHandle);
}

int32_t HS_CALL SyncWriteRec(SyncRecordRequest *request) {
    StandinCall call(true);
    return g_real.writeRec(request);
}

int32_t HS_CALL SyncReadRecordByIndex(SyncRecordRequest *request) {
    StandinCall call(true);
    return g_real.readRecordByIndex(request);
}

int32_t HS_CALL SyncPurgeDeletedRecs(uint8_t dbHandle) {
    StandinCall call;
    return g_real.purgeDeletedRecs(dbHandle);
}

int32_t HS_CALL SyncPurgeAllRecs(uint8_t dbHandle) {
    StandinCall call;
    return g_real.purgeAllRecs(dbHandle);
}

int32_t HS_CALL SyncGetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    StandinCall call;
    return g_real.getDBRecordCount(dbHandle, count);
}

int32_t HS_CALL LogAddEntry(const char *text, int32_t activity, int32_t flag) {
    StandinCall call;
    return g_real.logAddEntry(text, activity, flag);
}

// A variadic call cannot be handed on as it came; the text is formatted here,
// inside the stand-in's share, which does what the stand-in itself would do.
int32_t HS_CALL LogAddFormattedEntry(int32_t activity, int32_t flag, const char *format, ...) {
    StandinCall call;
    if (format == nullptr) return kStandinErrBadArgument;  // as the stand-in answers it
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return g_real.logAddFormattedEntry(activity, flag, "%s", text);
}

}  // extern "C"
