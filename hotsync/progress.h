/*
 * Progress of the stand-in sync manager, for a host that shows a progress
 * line. Conduits need not call the HotSync Manager's progress callback (ours
 * never does), so the sync manager itself reports every record it reads or
 * writes. Never included by production code.
 */
#ifndef LENSFOLIO_HOTSYNC_PROGRESS_H
#define LENSFOLIO_HOTSYNC_PROGRESS_H

#ifdef __cplusplus
extern "C" {
#endif

/* `operation` is "read" or "write"; `done` counts the records of the open
 * database handled so far in that operation (a read reports its index plus
 * one); `total` is the database's record count, 0 when unknown (writes). */
typedef void (*StandinProgressHook)(const char *database, const char *operation,
                                    unsigned done, unsigned total);

/* Null switches reporting off (the default). */
void StandinSetProgressHook(StandinProgressHook hook);
/* Calls the hook, if one is set. */
void StandinReportProgress(const char *database, const char *operation, unsigned done,
                           unsigned total);

#ifdef __cplusplus
}
#endif

#endif /* LENSFOLIO_HOTSYNC_PROGRESS_H */
