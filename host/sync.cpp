// sync: one HotSync of a user's handheld, as a HotSync Manager runs it.
#include <cstdio>
#include <cstring>

#include "backup.h"
#include "conduit_loader.h"
#include "hostile.h"
#include "pdb.h"
#include "standin.h"
#include "sync_run.h"

namespace host {

namespace {

enum TypeSource { kFromOption, kFromOnce, kFromDefault, kFromConduit };

const char *SourceText(TypeSource source) {
    switch (source) {
    case kFromOption: return "set by --type";
    case kFromOnce: return "chosen for this HotSync only";
    case kFromDefault: return "stored default";
    default: return "the conduit's default";
    }
}

int32_t ChooseType(const SyncOptions &options, const StoredSyncType &stored,
                   const LoadedConduit &loaded, TypeSource *source) {
    if (options.hasType) {
        *source = kFromOption;
        return options.type;
    }
    if (stored.hasOnce) {
        *source = kFromOnce;
        return stored.onceType;
    }
    if (stored.hasDefault) {
        *source = kFromDefault;
        return stored.defaultType;
    }
    *source = kFromConduit;
    return loaded.hasDefaultAction ? loaded.defaultAction : 0;
}

void LogHost(int32_t activity, const std::string &text) {
    LogAddFormattedEntry(activity, 0, "%s", text.c_str());
}

int Problem(const std::string &text) {
    LogHost(kLogHostError, text);
    std::fprintf(stderr, "hotsync: error: %s\n", text.c_str());
    return 1;
}

int FillProperties(const UserContext &context, const standin::ConduitEntry &conduit,
                   const SyncTarget &target, int32_t type, SyncProperties *properties) {
    std::memset(properties, 0, sizeof *properties);
    properties->syncType = type;
    const std::string dir = DesktopDir(target.desktopUserDir, conduit);
    if (dir.size() >= sizeof properties->pathName) {
        return Problem(conduit.creator + ": desktop directory too long: " + dir);
    }
    std::string error;
    if (MakeDirectories(dir, &error) != kExitOk) return Problem(error);
    std::memcpy(properties->pathName, dir.c_str(), dir.size() + 1);
    std::strncpy(properties->localName, conduit.pcFileName.value_or("").c_str(),
                 sizeof properties->localName - 1);
    std::strncpy(properties->userName, context.user.name.c_str(), sizeof properties->userName - 1);
    std::strncpy(properties->remoteName, conduit.remoteFile.value_or("").c_str(),
                 sizeof properties->remoteName - 1);
    properties->creator = CreatorNumber(conduit.creator);
    // The conduit may read only the sync type and the path.
    if (standin::Hostile()) {
        char *end = properties->pathName + dir.size() + 1;
        standin::HostileJunk(end, reinterpret_cast<char *>(properties + 1) - end);
    }
    return 0;
}

// Names the handheld database file when it is damaged, so that a failure of
// the conduit can be told as what it is. Asked after the failure: a damaged
// file cannot have been opened, so the conduit left it as it was, and a
// HotSync that succeeds does not read the database a second time.
std::string DamagedDatabase(const UserContext &context, const standin::ConduitEntry &conduit,
                            const SyncTarget &target) {
    const std::string remote = conduit.remoteFile.value_or("");
    if (remote.empty()) return std::string();
    PdbDatabase db;
    int32_t status = PdbLoad(DatabasePath(target.handheldDir, remote), &db);
    if (status != kStandinErrCorrupt && status != kStandinErrIo) return std::string();
    std::string path = DatabasePath(context.handheldDir, remote);
    return status == kStandinErrCorrupt
               ? "handheld database " + path + " is corrupt: not a valid Palm database file"
               : "handheld database " + path + " cannot be read";
}

bool IsHostFile(const UserContext &context, const std::string &path) {
    return path == UserLogPath(context) || path == SyncSettingsPath(context) ||
           path == standin::QueuePath(context.root, context.user);
}

// Keeps the conduit's handheld database and every file of its desktop
// folder before it runs: the host cannot tell which of them it will change
// (Lenfol writes Cameras.txt whatever file name it registered), so it keeps
// them all and FinishBackup drops those left as they were.
int KeepBeforeConduit(const UserContext &context, const standin::ConduitEntry &conduit,
                      const SyncTarget &target, int32_t type) {
    if (!target.backup) return 0;
    std::vector<KeptFile> files;
    KeptFile file;
    file.conduit = conduit.creator;
    file.type = type;
    const std::string remote = conduit.remoteFile.value_or("");
    if (!remote.empty() && IsFile(DatabasePath(target.handheldDir, remote))) {
        file.place = kKeptHandheld;
        file.path = remote + ".pdb";
        files.push_back(file);
    }
    const std::string dir = DesktopDir(target.desktopUserDir, conduit);
    for (const std::string &name : ListFiles(dir)) {
        if (IsHostFile(context, dir + name)) continue;
        file.place = kKeptDesktop;
        file.path = dir.substr(target.desktopUserDir.size() + 1) + name;
        files.push_back(file);
    }
    std::string error;
    for (const KeptFile &kept : files) {
        if (KeepFile(context, target.backup, kept, KeptFilePath(context, kept), &error) != kExitOk) {
            return Problem(conduit.creator + ": backup failed, conduit not run: " + error);
        }
    }
    return 0;
}

void ConsumeOnce(const UserContext &context, const standin::ConduitEntry &conduit,
                 StoredSyncType stored) {
    stored.hasOnce = false;
    std::string error;
    if (SaveStoredSyncType(SyncSettingsPath(context), conduit.creator, stored, &error) != kExitOk) {
        Problem(error);
    }
}

int RunLoaded(const UserContext &context, const standin::ConduitEntry &conduit,
              const SyncTarget &target, const SyncOptions &options, const LoadedConduit &loaded) {
    const std::string label = ConduitLabel(conduit, loaded);
    StoredSyncType stored;
    std::string error;
    if (LoadStoredSyncType(SyncSettingsPath(context), conduit.creator, &stored, &error) != kExitOk) {
        return Problem(error);
    }
    TypeSource source;
    const int32_t type = ChooseType(options, stored, loaded, &source);
    SyncProperties properties;
    if (FillProperties(context, conduit, target, type, &properties) != 0) return 1;
    if (KeepBeforeConduit(context, conduit, target, type) != 0) return 1;

    BeginProgress(label);
    const int32_t status = loaded.openConduit(ConduitProgress, &properties);
    EndProgress();
    if (!target.dryRun && source == kFromOnce) ConsumeOnce(context, conduit, stored);

    std::printf("  %s (%s): %s, %s ... %s\n", ToTerminal(label).c_str(), conduit.creator.c_str(),
                DescribeSyncType(type).c_str(), SourceText(source),
                status == 0 ? "OK" : ("failed, status " + DescribeStatus(status)).c_str());
    if (StandinOpenDatabaseCount() != 0) {
        Problem(conduit.creator + ": the conduit left " + std::to_string(StandinOpenDatabaseCount()) +
                " handheld database(s) open");
    }
    if (status == 0) return 0;
    const std::string damaged = DamagedDatabase(context, conduit, target);
    if (!damaged.empty()) Problem(damaged);
    return 1;
}

// What the HotSync kept, once it is known which files it changed.
int ReportBackup(const UserContext &context, Backup *backup) {
    std::vector<KeptFile> kept;
    std::string error;
    int failures = FinishBackup(context, backup, &kept, &error) != kExitOk ? Problem(error) : 0;
    std::string labels;
    for (const KeptFile &file : kept) {
        LogHost(kLogHostInfo, "Backed up " + KeptFileLabel(file) + " to " + backup->dir + "/" + file.copy);
        labels += (labels.empty() ? "" : ", ") + KeptFileLabel(file);
    }
    if (!kept.empty()) {
        std::printf("  Kept as they were in %s: %s (undo with: hotsync restore)\n",
                    backup->dir.c_str(), labels.c_str());
    }
    PruneBackups(context);
    return failures;
}

}  // namespace

int InstallQueued(const UserContext &context, const SyncTarget &target) {
    std::vector<std::string> queued;
    if (standin::ReadQueue(context.root, context.user, &queued) != 0) {
        return Problem("cannot read the install queue " + standin::QueuePath(context.root, context.user));
    }
    int failures = 0;
    for (const std::string &path : queued) {
        const std::string name = BaseName(path);
        const std::string to = target.handheldDir + "/" + name;
        KeptFile replaced;
        replaced.path = name;
        std::string error;
        if (!IsFile(path)) {
            LogHost(kLogHostWarning, "Could not install " + path + ": file not found");
            std::printf("  Not installed: %s (file not found)\n", path.c_str());
        } else if (target.backup && IsFile(to) &&
                   KeepFile(context, target.backup, replaced, to, &error) != kExitOk) {
            failures += Problem("not installed " + name + ", backup failed: " + error);
        } else if (CopyFile(path, to, &error) != kExitOk) {
            failures += Problem(error);
        } else {
            LogHost(kLogHostInfo, "Installed " + name);
            std::printf("  Installed %s\n", name.c_str());
        }
    }
    if (!target.dryRun && standin::ClearQueue(context.root, context.user) != 0) {
        failures += Problem("cannot empty the install queue " +
                            standin::QueuePath(context.root, context.user));
    }
    return failures;
}

int SyncOneConduit(const UserContext &context, const standin::ConduitEntry &conduit,
                   const SyncTarget &target, const SyncOptions &options) {
    LoadedConduit loaded;
    std::string error;
    if (LoadConduit(conduit, &loaded, &error) != 0) {
        std::printf("  %s: not run\n", conduit.creator.c_str());
        return Problem(error);
    }
    QueryConduit(conduit, &context.user, &loaded);
    int result = RunLoaded(context, conduit, target, options, loaded);
    UnloadConduit(&loaded);
    return result;
}

int RunSync(const GlobalOptions &options, const SyncOptions &syncOptions) {
    UserContext context;
    int status = ResolveUser(options, syncOptions.user, &context);
    if (status != kExitOk) return status;
    std::vector<standin::ConduitEntry> conduits;
    if (standin::LoadConduits(context.root, &conduits) != 0) {
        return Error("cannot read " + context.root + "/conduits.ini");
    }
    if (syncOptions.dryRun) return RunDryRun(context, conduits, syncOptions);

    std::string error;
    if (MakeDirectories(context.handheldDir, &error) != kExitOk) return Error(error);
    StandinSetHandheldDir(context.handheldDir.c_str());
    StandinSetLogFile(UserLogPath(context).c_str());
    LogHost(kLogHostSyncStart, "HotSync started " + LocalTimeText() + " for " + context.user.name);
    std::printf("HotSync of \"%s\" (handheld %s)\n", ToTerminal(context.user.name).c_str(),
                context.handheldDir.c_str());

    Backup backup;
    SyncTarget target{context.handheldDir, context.userDir, false, &backup};
    int failures = 0;
    if (FinishLeftBackups(context, &error) != kExitOk) failures += Problem(error);
    failures += InstallQueued(context, target);
    if (conduits.empty()) std::printf("  No conduits registered.\n");
    for (const standin::ConduitEntry &conduit : conduits) {
        failures += SyncOneConduit(context, conduit, target, syncOptions) != 0 ? 1 : 0;
    }
    failures += ReportBackup(context, &backup);
    LogHost(kLogHostSyncEnd, failures == 0 ? "HotSync completed" : "HotSync completed with errors");
    std::printf("HotSync %s. Log: %s\n", failures == 0 ? "completed" : "completed with errors",
                UserLogPath(context).c_str());
    return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace host
