/*
 * The pieces of one HotSync, shared by the real run and the dry run.
 */
#ifndef LENSFOLIO_HOST_SYNC_RUN_H
#define LENSFOLIO_HOST_SYNC_RUN_H

#include <string>
#include <vector>

#include "host.h"
#include "platform.h"

namespace host {

struct Backup;

// Where the conduits work: the user's own folders, or copies of them.
struct SyncTarget {
    std::string handheldDir;
    std::string desktopUserDir;  // stands for ROOT/<user directory>
    bool dryRun = false;
    // Where the files are kept before they change; none in a dry run.
    Backup *backup = nullptr;
};

// Copies the files that the install aide queued for the user into the
// handheld folder. A missing file is logged and skipped. The queue is emptied
// unless this is a dry run. Returns the number of files that failed.
int InstallQueued(const UserContext &context, const SyncTarget &target);

// Queries and runs one conduit; 0 when it ran and answered 0.
int SyncOneConduit(const UserContext &context, const standin::ConduitEntry &conduit,
                   const SyncTarget &target, const SyncOptions &options);

// What replacing the file `before` with `after` would change, as the dry
// run shows it: record by record for a .pdb, line by line for text.
void DiffDatabaseFile(const std::string &name, const std::string &before, const std::string &after);
void DiffTextFile(const std::string &name, const std::string &before, const std::string &after);

// The dry run of RunSync.
int RunDryRun(const UserContext &context, const std::vector<standin::ConduitEntry> &conduits,
              const SyncOptions &options);

// A progress line on standard error while a conduit runs, only when standard
// error is a terminal.
void BeginProgress(const std::string &label);
void EndProgress();
// The callback handed to OpenConduit.
void HS_CALL ConduitProgress(const char *text);

std::string LocalTimeText();

}  // namespace host

#endif  // LENSFOLIO_HOST_SYNC_RUN_H
