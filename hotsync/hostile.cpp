// Hostile mode's seeded stream and its choices; nothing here knows an operation.
#include "hostile.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "standin.h"
#include "trace.h"

namespace standin {

namespace {

struct HostileState {
    bool enabled;
    uint32_t seed;
    uint64_t stream;
};

std::optional<HostileState> &Setting() {
    static std::optional<HostileState> state;
    return state;
}

// HOTSYNC_HOSTILE is the seed; unset, empty or 0 is the kind stand-in. The
// seed goes to standard error, so a failure in a child process can be
// reproduced from its output.
HostileState FromEnvironment() {
    const std::string env = Environment("HOTSYNC_HOSTILE");
    long long seed = 0;
    if (!env.empty() && !ParseInteger(env, 0, 0, UINT32_MAX, &seed))
        WriteStderr("hotsync stand-in: HOTSYNC_HOSTILE must be a seed number; staying kind\n");
    if (seed != 0)
        WriteStderr("hotsync stand-in: hostile mode, seed " + std::to_string(seed) + "\n");
    return {seed != 0, static_cast<uint32_t>(seed), static_cast<uint64_t>(seed)};
}

HostileState &State() { return Chosen(Setting(), FromEnvironment); }

// splitmix64: small, and every seed gives a good stream.
uint64_t Next(HostileState *state) {
    uint64_t z = (state->stream += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

bool Hostile() { return State().enabled; }

uint32_t HostileNumber() { return static_cast<uint32_t>(Next(&State()) >> 32); }

bool HostileChance(uint32_t n) { return HostileNumber() % n == 0; }

void HostileJunk(void *buffer, size_t size) {
    unsigned char *bytes = static_cast<unsigned char *>(buffer);
    // A varied head, then one byte repeated: a whole record buffer is
    // filled on every read, and that must stay cheap.
    size_t head = size < 64 ? size : 64;
    for (size_t i = 0; i < head; ++i)
        bytes[i] = static_cast<unsigned char>(1 + HostileNumber() % 255);
    if (size > head) std::memset(bytes + head, 1 + HostileNumber() % 255, size - head);
}

int32_t HostileAny() {
    switch (HostileNumber() % 6) {
    case 0: return 0;
    case 1: return -1;
    case 2: return 1;
    case 3: return static_cast<int32_t>(HostileNumber() % 201) - 100;
    case 4: return HostileChance(2) ? INT32_MIN : INT32_MAX;
    default: return static_cast<int32_t>(HostileNumber());
    }
}

int32_t HostileExcept(std::initializer_list<int32_t> excluded) {
    for (;;) {
        int32_t value = HostileAny();
        if (std::find(excluded.begin(), excluded.end(), value) == excluded.end()) return value;
    }
}

int32_t YesOrNo(int32_t result, bool) {
    return result != 0 && Hostile() ? HostileExcept({0}) : result;
}

int32_t Unexamined(int32_t result, bool) { return Hostile() ? HostileAny() : result; }

int32_t FailureStatus(int32_t status, int32_t meaningful) {
    if (status == 0) return 0;
    if (status != meaningful && Hostile()) status = HostileExcept({0, meaningful});
    NoteFailure(status);
    return status;
}

void HostileText(int32_t status, char *buffer, uint32_t stated, uint32_t *size) {
    if (!Hostile() || buffer == nullptr) return;
    size_t used = status == 0 ? strnlen(buffer, stated) + 1 : 0;
    if (used < stated) HostileJunk(buffer + used, stated - used);
    if (size != nullptr && HostileChance(2)) *size = HostileNumber();
}

uint32_t FreeHandle(unsigned bits, bool (*inUse)(uint32_t handle)) {
    const uint32_t mask = bits >= 32 ? UINT32_MAX : (1u << bits) - 1;
    uint32_t handle = Hostile() ? HostileNumber() & mask : 1;
    // The caller has checked that a handle is free.
    while (inUse(handle)) handle = (handle + 1) & mask;
    return handle;
}

}  // namespace standin

extern "C" {

void StandinSetHostile(int enabled, uint32_t seed) {
    standin::Setting() = standin::HostileState{enabled != 0, seed, seed};
}

int StandinHostile(void) { return standin::Hostile() ? 1 : 0; }

uint32_t StandinHostileSeed(void) { return standin::State().seed; }

}  // extern "C"

void standin::ResetHostile() { standin::Setting().reset(); }
