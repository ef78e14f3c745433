/*
 * More of the stand-in's control surface, beside standin.h: what the action
 * dialog was shown, message-box answers, and switches the tests need. Like
 * standin.h, never included by production code.
 */
#ifndef LENSFOLIO_STANDIN_EXTRA_H
#define LENSFOLIO_STANDIN_EXTRA_H

#include <stddef.h>
#include <stdint.h>

#include "standin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A user-data or conduit-manager query whose text does not fit the caller's
 * size: the buffer gets an empty text (when the size allows a NUL) and *size
 * the size needed, NUL included. */
enum { kStandinErrBufferTooSmall = 0x4020 };

/* ---- Fault list -----------------------------------------------------------
 * "Operation:nth:status[:persistent],..." with status in decimal or 0x hex
 * (negative allowed) and persistent spelled "persistent", "p" or "1". Each
 * entry becomes a StandinFailCall. The library applies HOTSYNC_FAIL this way
 * when it is loaded. Malformed entries are reported on standard error and
 * skipped; the result is then kStandinErrBadArgument, else 0. */
int StandinApplyFailList(const char *list);

/* ---- Message boxes ----------------------------------------------------------
 * The answer each recorded box returned (kIdYes, kIdNo, ...). */
int32_t StandinBoxAnswer(size_t index);
/* Non-zero (the default): when the answers list is used up and standard input
 * is a terminal, ask there. Tests switch it off so that they never block. */
void StandinSetTerminalAnswers(int enabled);

/* ---- Action dialog ----------------------------------------------------------
 * One record per RunHotSyncActionDlg that was not failed by the fault table. */
size_t StandinDialogCount(void);
const char *StandinDialogConduitName(size_t index); /* "" when none was set */
int32_t StandinDialogShownAction(size_t index);     /* action index on entry */
int32_t StandinDialogShownMakeDefault(size_t index);
int32_t StandinDialogResult(size_t index);          /* kDialogOk or kDialogCancel */
void StandinClearDialogs(void);
/* Dialogs constructed and not yet destroyed: leak check. */
int StandinLiveDialogCount(void);

/* ---- Hostile mode -------------------------------------------------------------
 * Every operation does the worst thing its contract allows: junk in buffers
 * and fields the caller may not rely on, varied results where none is
 * examined, other failure statuses, arbitrary handles (README.md lists each).
 * Set from HOTSYNC_HOSTILE=<seed> at first use (unset, empty or 0: off), or
 * by this call; either restarts the stream of choices from the seed. */
void StandinSetHostile(int enabled, uint32_t seed);
int StandinHostile(void);
uint32_t StandinHostileSeed(void);
/* The status the last failing call answered since StandinClearFaults (0 when
 * none failed): in hostile mode the only way to know which status a caller
 * should have passed on. */
int32_t StandinLastFailure(void);

/* ---- HotSync API and Sleep ------------------------------------------------- */
void StandinClearNotifies(void);
void StandinResetSleptMilliseconds(void);

#ifdef __cplusplus
}
#endif

#endif /* LENSFOLIO_STANDIN_EXTRA_H */
