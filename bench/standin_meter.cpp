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

// The stand-in's own functions, found by name (dlsym(RTLD_NEXT)) once; each
// wrapper below hands its calls on to the one of its own name.
enum Real {
    kRegisterConduit, kUnRegisterConduit, kOpenDB, kCreateDB, kCloseDB, kResetSyncFlags,
    kWriteRec, kReadRecordByIndex, kPurgeDeletedRecs, kPurgeAllRecs, kGetDBRecordCount,
    kLogAddEntry, kLogAddFormattedEntry, kMoveFileExA, kRealCount
};

const char *const kRealNames[kRealCount] = {
    "SyncRegisterConduit", "SyncUnRegisterConduit", "SyncOpenDB", "SyncCreateDB",
    "SyncCloseDB", "SyncResetSyncFlags", "SyncWriteRec", "SyncReadRecordByIndex",
    "SyncPurgeDeletedRecs", "SyncPurgeAllRecs", "SyncGetDBRecordCount", "LogAddEntry",
    "LogAddFormattedEntry", "MoveFileExA"};

void *g_real[kRealCount];

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

// Hands a call on to the stand-in's own function, inside a measured span;
// `recordCall` for the two calls that move one record. The wrappers pass
// their parameters on as they came, so `Args` are the function's own
// parameter types.
template <bool recordCall = false, typename... Args>
int32_t Forward(Real real, Args... args) {
    StandinCall call(recordCall);
    return reinterpret_cast<int32_t(HS_CALL *)(Args...)>(g_real[real])(args...);
}

}  // namespace

bool ResolveStandin() {
    bool ok = true;
    for (int i = 0; i < kRealCount; ++i) {
        g_real[i] = dlsym(RTLD_NEXT, kRealNames[i]);
        if (g_real[i] != nullptr) continue;
        std::fprintf(stderr, "bench: no stand-in function %s\n", kRealNames[i]);
        ok = false;
    }
    return ok;
}

extern "C" {

int32_t HS_CALL SyncRegisterConduit(ConduitHandle *handle) {
    return Forward(kRegisterConduit, handle);
}

int32_t HS_CALL SyncUnRegisterConduit(ConduitHandle handle) {
    return Forward(kUnRegisterConduit, handle);
}

int32_t HS_CALL SyncOpenDB(const char *name, int32_t cardNo, uint8_t *dbHandle, uint8_t openMode) {
    return Forward(kOpenDB, name, cardNo, dbHandle, openMode);
}

int32_t HS_CALL SyncCreateDB(SyncCreateRequest *request) {
    return Forward(kCreateDB, request);
}

int32_t HS_CALL SyncCloseDB(uint8_t dbHandle) {
    return Forward(kCloseDB, dbHandle);
}

int32_t HS_CALL SyncResetSyncFlags(uint8_t dbHandle) {
    return Forward(kResetSyncFlags, dbHandle);
}

int32_t HS_CALL SyncWriteRec(SyncRecordRequest *request) {
    return Forward<true>(kWriteRec, request);
}

int32_t HS_CALL SyncReadRecordByIndex(SyncRecordRequest *request) {
    return Forward<true>(kReadRecordByIndex, request);
}

int32_t HS_CALL SyncPurgeDeletedRecs(uint8_t dbHandle) {
    return Forward(kPurgeDeletedRecs, dbHandle);
}

int32_t HS_CALL SyncPurgeAllRecs(uint8_t dbHandle) {
    return Forward(kPurgeAllRecs, dbHandle);
}

int32_t HS_CALL SyncGetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    return Forward(kGetDBRecordCount, dbHandle, count);
}

int32_t HS_CALL LogAddEntry(const char *text, int32_t activity, int32_t flag) {
    return Forward(kLogAddEntry, text, activity, flag);
}

int32_t WIN_CALL MoveFileExA(const char *existing, const char *target, uint32_t flags) {
    return Forward(kMoveFileExA, existing, target, flags);
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
    return reinterpret_cast<decltype(&LogAddFormattedEntry)>(g_real[kLogAddFormattedEntry])(
        activity, flag, "%s", text);
}

}  // extern "C"
