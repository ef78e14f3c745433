/*
 * The whole control surface of the stand-in HotSync desktop, for the hotsync
 * host, the tests, the benchmarks and the fuzzers; production code sees only
 * platform/platform.h. README.md describes what each operation does.
 */
#ifndef LENSFOLIO_STANDIN_H
#define LENSFOLIO_STANDIN_H

#include <stddef.h>
#include <stdint.h>

#include "platform.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The stand-in's own statuses, besides 0 and kSyncErrDatabaseMissing. */
enum {
    kStandinErrBadArgument = 0x4001,   /* null pointer, unknown handle, bad field */
    kStandinErrNotFound = 0x4002,      /* no such record, user, registration or root */
    kStandinErrCorrupt = 0x4010,       /* a .pdb or INI file that cannot be parsed */
    kStandinErrIo = 0x4011,            /* a file could not be read or written */
    kStandinErrTooMany = 0x4012,       /* 65,535 records, or no free handle */
    kStandinErrExists = 0x4013,        /* SyncCreateDB of a database that exists */
    kStandinErrNotRegistered = 0x4014, /* sync call without a registered conduit */
    kStandinErrReadOnly = 0x4015,      /* write on a database opened without write */
    /* A text query that does not fit: an empty text, *size the size needed. */
    kStandinErrBufferTooSmall = 0x4020
};

/* What a status the stand-in answers means, in the words a host's message
 * shows; null for a status that is not one of them. */
static inline const char *StandinStatusMeaning(int32_t status) {
    switch (status) {
    case kSyncErrDatabaseMissing: return "the handheld database does not exist";
    case kStandinErrBadArgument: return "a null pointer, an unknown handle or a bad field";
    case kStandinErrNotFound: return "no such record, user, registration or root";
    case kStandinErrCorrupt: return "a .pdb or INI file cannot be parsed";
    case kStandinErrIo: return "a file could not be read or written";
    case kStandinErrTooMany: return "too many records or bytes for a .pdb file, or no free handle";
    case kStandinErrExists: return "the database exists or is open, or the user name or ID is taken";
    case kStandinErrNotRegistered: return "no conduit registered with the sync manager";
    case kStandinErrReadOnly: return "a write to a database opened without write access";
    case kStandinErrBufferTooSmall: return "the buffer of a text query is too small";
    default: return NULL;
    }
}

/* Back to a freshly loaded stand-in, every setting taken from the environment
 * again; HOTSYNC_FAIL, which is for child processes, is not applied again. */
void StandinReset(void);

/* ---- Fault injection: the nth call (1-based, counted from the last clear) of
 * the named platform function answers `status`, and with `persistent` every
 * later call too. */
void StandinFailCall(const char *operation, int nth, int32_t status, int persistent);
void StandinClearFaults(void); /* also every call counter */
int StandinCallCount(const char *operation);
int StandinInjectedCount(void);
/* Counts the call; non-zero, with *status, when it must fail. */
int StandinShouldFail(const char *operation, int32_t *status);
/* "Operation:nth:status[:persistent],...", the form of HOTSYNC_FAIL.
 * Malformed entries are reported and skipped: kStandinErrBadArgument. */
int StandinApplyFailList(const char *list);
/* The status the last failing call answered (0: none): in hostile mode the
 * only way to know what a caller should have passed on. */
int32_t StandinLastFailure(void);

/* ---- Sync manager: the handheld is a folder of "<database name>.pdb" files. */
void StandinSetHandheldDir(const char *directory);
const char *StandinHandheldDir(void);
int StandinOpenDatabaseCount(void);
/* Called for each record read or written, for a host's progress line:
 * `operation` is "read" or "write", `done` the records of that operation so
 * far, `total` the database's record count (0 for writes). */
typedef void (*StandinProgressHook)(const char *database, const char *operation,
                                    unsigned done, unsigned total);
void StandinSetProgressHook(StandinProgressHook hook); /* null: none */

/* ---- Log: entries in memory and, when a file is set, in it. */
void StandinSetLogFile(const char *path);
void StandinClearLog(void);
size_t StandinLogCount(void);
int32_t StandinLogActivity(size_t index);
const char *StandinLogText(size_t index);

/* ---- Message boxes and the action dialog answer from a comma-separated
 * list, one token each, then from the terminal unless that is switched off
 * (tests must never block). What each showed and answered is in the trace. */
void StandinSetAnswers(const char *answers);
void StandinSetTerminalAnswers(int enabled);
int StandinLiveDialogCount(void);

/* ---- The simulated HotSync directory: this, else (null or empty)
 * HOTSYNC_ROOT. */
void StandinSetRoot(const char *root);
const char *StandinRoot(void);

/* ---- Hostile mode: every operation does the worst thing its contract
 * allows, each choice drawn from a stream that this restarts from `seed`. */
void StandinSetHostile(int enabled, uint32_t seed);
int StandinHostile(void);
uint32_t StandinHostileSeed(void);

#ifdef __cplusplus
}
#endif

#endif /* LENSFOLIO_STANDIN_H */
