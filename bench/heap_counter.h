// Counts the conduit's heap: the bench program that links heap_counter.cpp
// replaces malloc and its kin (operator new ends in malloc, and so does what
// stdio allocates for a stream), and counts a block as the conduit's when it
// is allocated while a HotSync is measured and no stand-in call is running
// (StandinMeter::depth == 0). Those blocks are remembered until freed, by
// whoever frees them, so the live and peak figures are the conduit's alone.
#ifndef LENSFOLIO_BENCH_HEAP_COUNTER_H
#define LENSFOLIO_BENCH_HEAP_COUNTER_H

#include <cstddef>
#include <cstdint>

struct HeapCounts {
    uint64_t allocations = 0;  // blocks the conduit allocated
    uint64_t frees = 0;        // of those, freed again
    uint64_t liveBytes = 0;    // requested bytes of the conduit's blocks still live
    uint64_t peakBytes = 0;    // the most liveBytes ever was
};

// Starts counting from zero; the previous figures are dropped.
void HeapCountStart();
// Stops counting; blocks still live stay remembered until freed.
void HeapCountStop();
HeapCounts HeapCountNow();

#endif
