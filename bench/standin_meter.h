// Splits a HotSync between the conduit and the stand-in.
//
// The bench program defines every sync-manager, log and file function of the
// stand-in that the conduit calls. Lenfol.dll looks them up in the program first, so each call lands in
// a wrapper here, which marks "inside the stand-in" around the real function
// (found with dlsym(RTLD_NEXT)). While a HotSync is measured the wrappers
//   - add the time spent inside the stand-in (timing runs),
//   - switch callgrind's collection off and on again (callgrind runs), and
//   - keep a depth that the heap counter reads, so that what the stand-in
//     allocates (the records it holds) is not counted as the conduit's.
#ifndef LENSFOLIO_BENCH_STANDIN_METER_H
#define LENSFOLIO_BENCH_STANDIN_METER_H

#include <cstdint>

struct StandinMeter {
    bool measuring = false;        // inside a measured OpenConduit
    bool timeCalls = false;        // add up the time inside stand-in calls
    bool toggleCallgrind = false;  // no callgrind collection inside stand-in calls
    int depth = 0;                 // > 0 while inside a stand-in call
    uint64_t calls = 0;
    int64_t standinNanos = 0;
    // Called on entry to each SyncWriteRec and SyncReadRecordByIndex: one per
    // record, so the heap counter can tell what each line cost.
    void (*recordMark)() = nullptr;
};

extern StandinMeter g_standinMeter;

// Looks every wrapped function up once, before anything is measured (dlsym
// allocates). False, with a message on stderr, when one is missing.
bool ResolveStandin();

int64_t NowNanos();

#endif
