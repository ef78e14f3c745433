// The replacement allocator of lenfol_bench_heap. glibc lets a program define
// malloc and its kin; libc itself and libstdc++ then call these, and the real
// allocator stays reachable under its __libc_ names.
#include "heap_counter.h"

#include <errno.h>
#include <unistd.h>

#include <cstdlib>

#include "standin_meter.h"

extern "C" {
void *__libc_malloc(size_t size);
void __libc_free(void *block);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

// The conduit holds a stream and one record at a time: a few dozen blocks.
// A fixed table, since the allocator must not allocate for itself.
constexpr size_t kSlotBits = 14;
constexpr size_t kSlots = size_t(1) << kSlotBits;
constexpr size_t kMask = kSlots - 1;

struct Slot {
    void *block;
    size_t size;
};

Slot g_slots[kSlots];
size_t g_used = 0;
bool g_counting = false;
HeapCounts g_counts;

size_t Home(const void *block) {
    uint64_t x = reinterpret_cast<uintptr_t>(block) >> 4;
    return static_cast<size_t>((x * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
}

void Remember(void *block, size_t size) {
    if (g_used >= kSlots / 2) {
        static const char message[] = "bench: the conduit holds too many blocks to count\n";
        (void)!write(2, message, sizeof message - 1);
        std::abort();
    }
    size_t i = Home(block);
    while (g_slots[i].block != nullptr) i = (i + 1) & kMask;
    g_slots[i] = Slot{block, size};
    ++g_used;
}

// Linear probing with backward-shift deletion, so no tombstones build up.
bool Forget(void *block, size_t *size) {
    if (g_used == 0) return false;
    size_t i = Home(block);
    while (g_slots[i].block != block) {
        if (g_slots[i].block == nullptr) return false;
        i = (i + 1) & kMask;
    }
    *size = g_slots[i].size;
    g_slots[i] = Slot{nullptr, 0};
    --g_used;
    for (size_t j = (i + 1) & kMask; g_slots[j].block != nullptr; j = (j + 1) & kMask) {
        const size_t home = Home(g_slots[j].block);
        const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (stays) continue;
        g_slots[i] = g_slots[j];
        g_slots[j] = Slot{nullptr, 0};
        i = j;
    }
    return true;
}

void Note(void *block, size_t size) {
    if (block == nullptr || !g_counting || g_standinMeter.depth != 0) return;
    Remember(block, size);
    ++g_counts.allocations;
    g_counts.liveBytes += size;
    if (g_counts.liveBytes > g_counts.peakBytes) g_counts.peakBytes = g_counts.liveBytes;
}

void Drop(void *block) {
    size_t size = 0;
    if (block == nullptr || !Forget(block, &size)) return;
    ++g_counts.frees;
    g_counts.liveBytes -= size;
}

}  // namespace

void HeapCountStart() {
    g_counts = HeapCounts{};
    g_counting = true;
}

void HeapCountStop() { g_counting = false; }

HeapCounts HeapCountNow() { return g_counts; }

extern "C" {

void *malloc(size_t size) {
    void *block = __libc_malloc(size);
    Note(block, size);
    return block;
}

void free(void *block) {
    Drop(block);
    __libc_free(block);
}

void *calloc(size_t count, size_t size) {
    void *block = __libc_calloc(count, size);
    Note(block, count * size);
    return block;
}

void *realloc(void *block, size_t size) {
    void *moved = __libc_realloc(block, size);
    if (moved == nullptr && size != 0) return nullptr;  // the old block stays
    Drop(block);
    Note(moved, size);
    return moved;
}

void *memalign(size_t alignment, size_t size) {
    void *block = __libc_memalign(alignment, size);
    Note(block, size);
    return block;
}

void *aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void **out, size_t alignment, size_t size) {
    if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void *block = memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *out = block;
    return 0;
}

void *valloc(size_t size) { return memalign(static_cast<size_t>(sysconf(_SC_PAGESIZE)), size); }

void *pvalloc(size_t size) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return memalign(page, (size + page - 1) & ~(page - 1));
}

}  // extern "C"
