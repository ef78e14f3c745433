// restore: undoes the newest HotSync that kept files, by putting back each
// file of its backup (backup.h) byte for byte; --list shows what can be
// undone, --dry-run what this restore would change.
//
// Every check comes before the first file changes, so that a damaged backup
// or a folder that is gone changes nothing. Then each copy goes to a
// temporary file beside its target, and only when all of them are there are
// they renamed into place, one by one; last the backup is dropped, its
// manifest first. Cut short anywhere, each file is whole, old or restored,
// and the backup is still listed until every file is back, so the next
// restore finishes the job.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "backup.h"
#include "sync_run.h"

namespace fs = std::filesystem;

namespace host {

namespace {

struct PutBack {
    const KeptFile *file;
    std::string copy;    // in the backup folder
    std::string target;  // where it goes
    std::string temp;    // beside the target
};

std::string ParentDir(const std::string &path) { return path.substr(0, path.find_last_of('/')); }

std::string Heading(const Backup &backup) {
    return backup.time + "  " + BackupCause(backup) + (backup.finished ? "" : " (cut short)");
}

// Everything a restore needs, checked; *problem says what stops it.
int Prepare(const UserContext &context, const Backup &backup, std::vector<PutBack> *files,
            std::string *problem) {
    if (!backup.problem.empty()) {
        *problem = "the backup " + backup.dir + " is damaged: " + backup.problem +
                   " (remove that folder to get at the HotSyncs before it)";
        return kExitError;
    }
    for (const KeptFile &file : backup.files) {
        std::string bytes;
        std::string damage;
        if (ReadKeptCopy(backup, file, &bytes, &damage) != kExitOk) {
            *problem = "the backup " + backup.dir + " is damaged: " + damage +
                       " (remove that folder to get at the HotSyncs before it)";
            return kExitError;
        }
        const std::string target = KeptFilePath(context, file);
        if (!IsDirectory(ParentDir(target))) {
            *problem = std::string(file.place == kKeptHandheld ? "the handheld" : "the desktop") +
                       " directory " + ParentDir(target) + " is gone, so " + KeptFileLabel(file) +
                       " has nowhere to go";
            return kExitError;
        }
        files->push_back({&file, backup.dir + "/" + file.copy, target, target + ".tmp"});
    }
    return kExitOk;
}

int ListBackups(const UserContext &context, const std::vector<Backup> &backups) {
    if (backups.empty()) {
        std::printf("No HotSync of \"%s\" to undo: nothing kept in %s\n",
                    ToTerminal(context.user.name).c_str(), BackupDir(context).c_str());
        return kExitOk;
    }
    std::printf("HotSyncs of \"%s\" that hotsync restore can undo, newest first:\n",
                ToTerminal(context.user.name).c_str());
    for (const Backup &backup : backups) {
        std::printf("%s  [backup/%s]\n", Heading(backup).c_str(), backup.stamp.c_str());
        for (const KeptFile &file : backup.files) {
            std::printf("    %-36s %12llu bytes\n", KeptFileLabel(file).c_str(),
                        static_cast<unsigned long long>(file.size));
        }
        std::vector<PutBack> files;
        std::string problem;
        if (Prepare(context, backup, &files, &problem) != kExitOk) {
            std::printf("    cannot be restored: %s\n", problem.c_str());
        }
    }
    return kExitOk;
}

int Preview(const Backup &backup, const std::vector<PutBack> &files) {
    std::printf("Dry run of a restore: nothing is changed.\nIt would undo %s:\n",
                Heading(backup).c_str());
    for (const PutBack &put : files) {
        const std::string &name = put.file->path;
        if (put.file->place == kKeptHandheld && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".pdb") == 0) {
            DiffDatabaseFile(put.target, put.target, put.copy);
        } else {
            DiffTextFile(put.target, put.target, put.copy);
        }
    }
    std::printf("Then it would drop %s.\n", backup.dir.c_str());
    return kExitOk;
}

void RemoveTemps(const std::vector<PutBack> &files) {
    for (const PutBack &put : files) RemoveFile(put.temp);
}

int Restore(const UserContext &context, const Backup &backup, const std::vector<PutBack> &files,
            size_t older) {
    for (const PutBack &put : files) {
        std::error_code ec;
        fs::copy_file(put.copy, put.temp, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            RemoveTemps(files);
            return Error("cannot write " + put.temp + ": " + ec.message() + "; nothing was changed");
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        fs::rename(files[i].temp, files[i].target, ec);
        if (ec) {
            RemoveTemps(files);
            Error("cannot put back " + files[i].target + ": " + ec.message() + "; " +
                  std::to_string(i) + " of " + std::to_string(files.size()) +
                  " file(s) are back, and the backup stays: run hotsync restore again");
            return kExitFailed;
        }
    }
    std::printf("Undid %s:\n", Heading(backup).c_str());
    for (const PutBack &put : files) {
        std::printf("  put back %s (%llu bytes)\n", put.target.c_str(),
                    static_cast<unsigned long long>(put.file->size));
    }
    std::string error;
    if (DropBackup(backup, &error) != kExitOk) {
        Error("every file is back, but " + error +
              "; remove that folder, or the next restore puts the same files back");
        return kExitFailed;
    }
    // Also what a restore cut short while it removed its backup left behind.
    PruneBackups(context);
    std::printf("Dropped %s; %zu older HotSync(s) can still be undone.\n", backup.dir.c_str(), older);
    return kExitOk;
}

}  // namespace

int RunRestore(const GlobalOptions &options, const RestoreOptions &restore) {
    UserContext context;
    int status = ResolveUser(options, restore.user, &context);
    if (status != kExitOk) return status;
    const std::vector<Backup> backups = LoadBackups(context);
    if (restore.list) return ListBackups(context, backups);
    if (backups.empty()) {
        return Error("nothing to restore: no HotSync of \"" + context.user.name + "\" kept files in " +
                     BackupDir(context));
    }
    const Backup &newest = backups.front();
    std::vector<PutBack> files;
    std::string problem;
    if (Prepare(context, newest, &files, &problem) != kExitOk) {
        return Error(problem + "; nothing was changed");
    }
    if (restore.dryRun) return Preview(newest, files);
    return Restore(context, newest, files, backups.size() - 1);
}

}  // namespace host
