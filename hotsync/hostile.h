/*
 * Hostile mode: every operation does its real work, then the worst thing its
 * contract allows. Each kind of choice has one function here, drawn from one
 * seeded stream so that a run is reproduced by its seed; README.md lists which
 * operation makes which choices, and why.
 */
#ifndef LENSFOLIO_HOTSYNC_HOSTILE_H
#define LENSFOLIO_HOTSYNC_HOSTILE_H

#include <stddef.h>
#include <stdint.h>

#include <initializer_list>

namespace standin {

bool Hostile();
uint32_t HostileNumber();
bool HostileChance(uint32_t n);  // true one time in n
// `size` bytes of junk without a NUL, so a reader that runs past the text it
// was given finds no end.
void HostileJunk(void *buffer, size_t size);
// 0, small negative and positive numbers, large ones.
int32_t HostileAny();
int32_t HostileExcept(std::initializer_list<int32_t> excluded);
// The status a call answers. 0 and `meaningful`, a failure the caller tells
// apart, stay as they are; any other failure becomes another non-zero status
// in hostile mode, never 0 or `meaningful`. Every failure is noted for
// StandinLastFailure, in either mode.
int32_t FailureStatus(int32_t status, int32_t meaningful = 0);
// A text query into the caller's `stated` bytes: a failed one leaves junk
// throughout and no NUL, a successful one junk after the NUL; *size may hold
// anything afterwards.
void HostileText(int32_t status, char *buffer, uint32_t stated, uint32_t *size);
// A handle of `bits` bits (8 or 32) that `inUse` says is free: the lowest
// from 1 up, or in hostile mode any.
uint32_t FreeHandle(unsigned bits, bool (*inUse)(uint32_t handle));
// For StandinLastFailure.
void NoteFailure(int32_t status);

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_HOSTILE_H
