/*
 * Control surface of the stand-in HotSync desktop, for the hotsync host and the
 * tests. Production code (conduit/, setup/) never includes this: it sees only
 * platform/platform.h.
 *
 * Every platform operation of the stand-in first asks the fault table whether
 * this call should fail; if not, it does the real work.
 */
#ifndef LENSFOLIO_STANDIN_H
#define LENSFOLIO_STANDIN_H

#include <stddef.h>
#include <stdint.h>

#include "platform.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Statuses of the stand-in's own (besides 0 and kSyncErrDatabaseMissing) */
enum {
    kStandinErrBadArgument = 0x4001,   /* null pointer, unknown handle, bad field */
    kStandinErrNotFound = 0x4002,      /* record index out of range */
    kStandinErrCorrupt = 0x4010,       /* a .pdb that cannot be parsed */
    kStandinErrIo = 0x4011,            /* the .pdb could not be read or written */
    kStandinErrTooMany = 0x4012,       /* 65,535 records, or no free handle */
    kStandinErrExists = 0x4013,        /* SyncCreateDB of a database that exists */
    kStandinErrNotRegistered = 0x4014, /* sync call without a registered conduit */
    kStandinErrReadOnly = 0x4015       /* write on a database opened without write */
};

/* ---- Fault injection ------------------------------------------------------
 * Make the nth call (1-based, counted from the last StandinClearFaults) of the
 * named operation answer `status`. With `persistent` non-zero every call from
 * the nth on fails. Operation names are the platform function names
 * ("SyncWriteRec", "CopyFileA", "MessageBoxA", ...). */
void StandinFailCall(const char *operation, int nth, int32_t status, int persistent);
void StandinClearFaults(void);           /* also resets every call counter */
int StandinCallCount(const char *operation);
int StandinInjectedCount(void);          /* faults actually injected since the clear */
/* Returns non-zero and sets *status when this call of `operation` must fail.
 * Counts the call either way. Used by every stand-in operation. */
int StandinShouldFail(const char *operation, int32_t *status);

/* ---- Sync manager ---------------------------------------------------------
 * The handheld is a folder of .pdb files, one per database, named
 * "<database name>.pdb". */
void StandinSetHandheldDir(const char *directory);
const char *StandinHandheldDir(void);
int StandinOpenDatabaseCount(void);       /* handles still open: leak check */

/* ---- Log --------------------------------------------------------------------
 * Entries are kept in memory (for tests) and, when a log file is set, appended
 * to it as "<activity>\t<text>\n". */
void StandinSetLogFile(const char *path);
void StandinClearLog(void);
size_t StandinLogCount(void);
int32_t StandinLogActivity(size_t index);
const char *StandinLogText(size_t index);

/* ---- Answers for message boxes and the action dialog ------------------------
 * An ordered, comma-separated list, consumed one token per box or dialog:
 *   message box: yes | no | cancel | ok | enter   (enter = the default button)
 *   dialog:      ok | cancel | ok:N | ok:N:default (N = action index 1..3)
 * Set from HOTSYNC_ANSWERS at first use, or by this call. When the list is used
 * up and standard input is a terminal, the answer is asked there; otherwise a
 * box answers its default button and a dialog answers Cancel. */
void StandinSetAnswers(const char *answers);
/* Every box shown since the last clear: "title\ntext\nstyle" per entry. */
size_t StandinBoxCount(void);
const char *StandinBoxTitle(size_t index);
const char *StandinBoxText(size_t index);
uint32_t StandinBoxStyle(size_t index);
void StandinClearBoxes(void);

/* ---- The simulated HotSync directory (user data, conduit manager, install aide)
 * Chosen by StandinSetRoot, else HOTSYNC_ROOT. */
void StandinSetRoot(const char *root);
const char *StandinRoot(void);

/* ---- HotSync API and Sleep ------------------------------------------------- */
size_t StandinNotifyCount(void);
int32_t StandinNotifyRequest(size_t index);
int32_t StandinNotifyArgument(size_t index);
/* Scale factor for Sleep: 0 makes it return at once (tests), 1 is real time.
 * Set from HOTSYNC_SLEEP_SCALE at first use. Total requested ms is recorded. */
void StandinSetSleepScale(double scale);
uint64_t StandinSleptMilliseconds(void);

#ifdef __cplusplus
}
#endif

#endif /* LENSFOLIO_STANDIN_H */
