/*
 * Hostile mode of the stand-in: every operation does the worst thing its
 * contract with the caller allows, while still doing its real work where it
 * succeeds. Switched on by StandinSetHostile (standin.h) or by
 * HOTSYNC_HOSTILE=<seed> at first use. Every choice comes from one stream
 * seeded by that number, so a run is reproduced by its seed.
 *
 * Each kind of choice has one function here, and each operation calls the
 * ones its contract leaves open; README.md lists which and why.
 */
#ifndef LENSFOLIO_HOTSYNC_HOSTILE_H
#define LENSFOLIO_HOTSYNC_HOSTILE_H

#include <stddef.h>
#include <stdint.h>

#include <initializer_list>

namespace standin {

bool Hostile();
// The next number of the stream; only meaningful in hostile mode.
uint32_t HostileNumber();
// True one time in `n` (n > 0).
bool HostileChance(uint32_t n);
// `size` bytes of junk without a NUL, so a reader that runs past the text it
// was given finds no end.
void HostileJunk(void *buffer, size_t size);
// A result nobody examines: 0, small negative and positive numbers, large ones.
int32_t HostileAny();
// A yes-or-no answer, 0 for no: in hostile mode any non-zero value for yes.
int32_t HostileYes(int32_t result);
// HostileAny() but none of `excluded`.
int32_t HostileExcept(std::initializer_list<int32_t> excluded);
// `result` in kind mode, HostileAny() in hostile mode: for calls whose result
// the caller does not examine, whatever they did.
int32_t UnexaminedResult(int32_t result);
// The status a call answers. 0 and `meaningful`, a failure the caller tells
// apart, stay as they are; any other failure becomes another non-zero status
// in hostile mode, never 0 or `meaningful`. Every failure is noted for
// StandinLastFailure, in either mode.
int32_t FailureStatus(int32_t status, int32_t meaningful = 0);
// A text query into the caller's `stated` bytes: a failed one leaves junk
// throughout and no NUL, a successful one junk after the NUL; *size may hold
// anything afterwards. No-op in kind mode.
void HostileText(int32_t status, char *buffer, uint32_t stated, uint32_t *size);
// A handle of `bits` bits (8 or 32) that `inUse` says is free: the lowest
// from 1 up, or in hostile mode any.
uint32_t FreeHandle(unsigned bits, bool (*inUse)(uint32_t handle));
// Recorded by FailureStatus, cleared by StandinClearFaults.
void NoteFailure(int32_t status);

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_HOSTILE_H
