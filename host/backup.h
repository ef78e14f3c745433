/*
 * What a HotSync changed, kept as it was: one folder per HotSync in the
 * user's backup folder, named by its stamp (YYYYMMDD-HHMMSS, then -2, -3, ...
 * within the same second), with a copy of each file and manifest.ini, which
 * lists them. A sync fills it (backup.cpp), `hotsync restore` puts it back
 * (restore.cpp).
 *
 * A folder counts as a backup once its manifest is in place, and stops
 * counting as soon as the manifest is gone: each step that adds or drops a
 * file rewrites the manifest whole, so a HotSync or a restore cut short at
 * any point leaves either a backup that lists only whole copies or none.
 */
#ifndef LENSFOLIO_HOST_BACKUP_H
#define LENSFOLIO_HOST_BACKUP_H

#include <cstdint>
#include <string>
#include <vector>

#include "host.h"

namespace host {

enum KeptPlace { kKeptHandheld, kKeptDesktop };

struct KeptFile {
    KeptPlace place = kKeptHandheld;
    // Handheld: the file name in the handheld folder. Desktop: the path below
    // ROOT/<user directory>, e.g. "Lenfol/Cameras.txt".
    std::string path;
    std::string copy;  // the copy's name in the backup folder
    uint64_t size = 0;
    std::string conduit;  // creator ID of the conduit that ran; empty: installed from the queue
    int32_t type = 0;     // the conduit's sync type
};

struct Backup {
    std::string stamp;
    std::string dir;
    std::string time;  // local time, "YYYY-MM-DD HH:MM:SS"
    // false until the HotSync that made it has dropped what it left as it
    // was; a HotSync cut short leaves it false and the next one does that.
    bool finished = false;
    std::vector<KeptFile> files;
    std::string problem;  // why the manifest cannot be used; empty when it can
};

// Where the file belongs: in the user's handheld folder or below the user's directory.
std::string KeptFilePath(const UserContext &context, const KeptFile &file);
// "handheld/LenfolDB.pdb", "Lenfol/Cameras.txt".
std::string KeptFileLabel(const KeptFile &file);
// What changed it: "LnFo: handheld overwrites desktop (type 2)", or that the
// install queue did; each cause once, in the order of the files.
std::string BackupCause(const Backup &backup);

// The user's backups, newest first.
std::vector<Backup> LoadBackups(const UserContext &context);
// The copy's bytes, checked against the manifest (there, the size the
// manifest gives, a .pdb that parses); else kExitError with *problem.
int ReadKeptCopy(const Backup &backup, const KeptFile &file, std::string *bytes,
                 std::string *problem);
// Removes the manifest first, then the folder with what is left in it.
int DropBackup(const Backup &backup, std::string *error);

// ---- While a HotSync runs
// Copies `source` into the HotSync's backup, making the backup folder with
// the first file. A file kept already in this backup stays as first kept.
int KeepFile(const UserContext &context, Backup *backup, KeptFile file, const std::string &source,
             std::string *error);
// Drops the kept files that the HotSync left as they were (a .pdb whose only
// change is the dates and modification number of its header counts as left
// as it was), then the backup itself when nothing is left, and marks what
// stays finished. *kept: the files that stay.
int FinishBackup(const UserContext &context, Backup *backup, std::vector<KeptFile> *kept,
                 std::string *error);
// Finishes each backup that a HotSync cut short left unfinished, before the
// next HotSync changes the files it compares them with.
int FinishLeftBackups(const UserContext &context, std::string *error);
// Keeps the newest kBackupsKept backups and removes the rest, and folders
// that never got a manifest.
void PruneBackups(const UserContext &context);

}  // namespace host

#endif  // LENSFOLIO_HOST_BACKUP_H
