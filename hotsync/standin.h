/*
 * The whole control surface of the stand-in HotSync desktop, for the hotsync
 * host, the tests, the benchmarks and the fuzzers. Production code (conduit/,
 * setup/) never includes this: it sees only platform/platform.h.
 *
 * Every platform operation of the stand-in first asks the fault table whether
 * this call should fail; if not, it does the real work (trace.h).
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
    kStandinErrReadOnly = 0x4015,      /* write on a database opened without write */
    /* A user-data or conduit-manager query whose text does not fit the
     * caller's size: the buffer gets an empty text (when the size allows a
     * NUL) and *size the size needed, NUL included. */
    kStandinErrBufferTooSmall = 0x4020
};

/* Back to the state of a freshly loaded stand-in: no faults and every call
 * counter at 0, an empty log, the answers list, log file, root and handheld
 * folder taken from the environment again, no open database, dialog or
 * registered conduit, no progress hook, and hostile mode as HOTSYNC_HOSTILE says (so hostile test
 * runs stay hostile, their stream restarted from the seed). HOTSYNC_FAIL is
 * not applied again: a test process sets it for its children. */
void StandinReset(void);

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
/* "Operation:nth:status[:persistent],..." with status in decimal or 0x hex
 * (negative allowed) and persistent spelled "persistent", "p" or "1". Each
 * entry becomes a StandinFailCall. The library applies HOTSYNC_FAIL this way
 * when it is loaded. Malformed entries are reported on standard error and
 * skipped; the result is then kStandinErrBadArgument, else 0. */
int StandinApplyFailList(const char *list);
/* The status the last failing call answered since StandinClearFaults (0 when
 * none failed): in hostile mode the only way to know which status a caller
 * should have passed on. */
int32_t StandinLastFailure(void);

/* ---- Sync manager ---------------------------------------------------------
 * The handheld is a folder of .pdb files, one per database, named
 * "<database name>.pdb". */
void StandinSetHandheldDir(const char *directory);
const char *StandinHandheldDir(void);
int StandinOpenDatabaseCount(void);       /* handles still open: leak check */
/* Progress, for a host that shows a progress line: conduits need not call the
 * HotSync Manager's progress callback (ours never does), so the sync manager
 * itself reports every record it reads or writes. */
/* `operation` is "read" or "write"; `done` counts the records of the open
 * database handled so far in that operation (a read reports its index plus
 * one); `total` is the database's record count, 0 when unknown (writes). */
typedef void (*StandinProgressHook)(const char *database, const char *operation,
                                    unsigned done, unsigned total);

/* Null switches reporting off (the default). */
void StandinSetProgressHook(StandinProgressHook hook);

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
/* Non-zero (the default): when the answers list is used up and standard input
 * is a terminal, ask there. Tests switch it off so that they never block. */
void StandinSetTerminalAnswers(int enabled);

/* Action dialogs constructed and not yet destroyed: leak check. What each
 * box and dialog showed and answered is in the call trace (HOTSYNC_TRACE). */
int StandinLiveDialogCount(void);

/* ---- The simulated HotSync directory (user data, conduit manager, install aide)
 * Chosen by StandinSetRoot, else HOTSYNC_ROOT. */
void StandinSetRoot(const char *root);
const char *StandinRoot(void);

/* ---- Hostile mode -------------------------------------------------------------
 * Every operation does the worst thing its contract allows: junk in buffers
 * and fields the caller may not rely on, varied results where none is
 * examined, other failure statuses, arbitrary handles (README.md lists each).
 * Set from HOTSYNC_HOSTILE=<seed> at first use (unset, empty or 0: off), or
 * by this call; either restarts the stream of choices from the seed. */
void StandinSetHostile(int enabled, uint32_t seed);
int StandinHostile(void);
uint32_t StandinHostileSeed(void);

#ifdef __cplusplus
}
#endif

#endif /* LENSFOLIO_STANDIN_H */
