// sync --dry-run: the HotSync runs on copies of the handheld folder and of the
// conduits' desktop folders in a scratch directory; then the copies are
// compared with the originals and the scratch directory is removed. The
// install queue, the stored sync types, the backups and the log stay as
// they are.
#include <cstdio>
#include <set>

#include "os.h"
#include "pdb.h"
#include "standin.h"
#include "sync_run.h"

namespace host {

namespace {

constexpr size_t kFieldWidth = 30;

int CopyFolder(const std::string &from, const std::string &to) {
    std::string error;
    if (MakeDirectories(to, &error) != kExitOk) return Error(error);
    for (const std::string &name : ListFiles(from)) {
        if (CopyFile(from + "/" + name, to + "/" + name, &error) != kExitOk) return Error(error);
    }
    return kExitOk;
}

bool SameBytes(const std::string &a, const std::string &b) {
    std::string left;
    std::string right;
    return standin::os::ReadAll(a, &left) == 0 && standin::os::ReadAll(b, &right) == 0 &&
           left == right;
}

std::vector<std::string> UnionOfFiles(const std::string &a, const std::string &b) {
    std::set<std::string> names;
    for (const std::string &name : ListFiles(a)) names.insert(name);
    for (const std::string &name : ListFiles(b)) names.insert(name);
    return std::vector<std::string>(names.begin(), names.end());
}

// Fields of a text line or record body, each cut for the screen.
std::string Summary(const std::string &text, char separator) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (!out.empty() || start > 0) out += " | ";
        out += Shorten(text.substr(start, end - start), kFieldWidth);
        if (end == text.size()) break;
        start = end + 1;
    }
    return out;
}

// ---- Handheld databases

bool SameRecord(const PdbRecord &a, const PdbRecord &b) {
    // The dirty and busy marks are the sync's bookkeeping, reported apart.
    const uint8_t mask = static_cast<uint8_t>(~(kPdbRecDirty | kPdbRecBusy));
    return (a.attributes & mask) == (b.attributes & mask) && a.body == b.body;
}

std::string RecordText(const PdbRecord &record, size_t index) {
    std::string text = "#" + std::to_string(index);
    if (record.attributes & kPdbRecDeleted) {
        text += " deleted";
    } else {
        text += " cat " + std::to_string(record.attributes & kPdbRecCategoryMask);
    }
    if (record.attributes & kPdbRecSecret) text += " secret";
    std::string body(record.body.begin(), record.body.end());
    while (!body.empty() && body.back() == '\0') body.pop_back();
    return text + ": " + Summary(body, '\0');
}

// The record changes as text lines, and how many modified marks were cleared
// (a sync) or set (a restore bringing them back).
std::vector<std::string> DiffRecords(const PdbDatabase &before, const PdbDatabase &after,
                                     size_t *cleared, size_t *set) {
    const auto &old = before.records;
    const auto &now = after.records;
    auto steps = DiffSequences(old.size(), now.size(),
                               [&](size_t i, size_t j) { return SameRecord(old[i], now[j]); });
    std::vector<std::string> lines;
    *cleared = 0;
    *set = 0;
    for (const DiffStep &step : steps) {
        if (step.kind == kDiffKeep) {
            bool wasDirty = old[step.oldIndex].attributes & kPdbRecDirty;
            bool isDirty = now[step.newIndex].attributes & kPdbRecDirty;
            if (wasDirty && !isDirty) ++*cleared;
            if (!wasDirty && isDirty) ++*set;
        } else if (step.kind == kDiffRemove) {
            lines.push_back("- " + RecordText(old[step.oldIndex], step.oldIndex));
        } else {
            lines.push_back("+ " + RecordText(now[step.newIndex], step.newIndex));
        }
    }
    return lines;
}

}  // namespace

void DiffDatabaseFile(const std::string &name, const std::string &before, const std::string &after) {
    PdbDatabase oldDb;
    PdbDatabase newDb;
    int32_t oldStatus = IsFile(before) ? PdbLoad(before, &oldDb) : kSyncErrDatabaseMissing;
    int32_t newStatus = IsFile(after) ? PdbLoad(after, &newDb) : kSyncErrDatabaseMissing;
    bool unreadable = (oldStatus != 0 && oldStatus != kSyncErrDatabaseMissing) ||
                      (newStatus != 0 && newStatus != kSyncErrDatabaseMissing);
    if (unreadable) {
        std::printf("  %s: would change (not readable as a record database)\n", name.c_str());
        return;
    }
    if (newStatus == kSyncErrDatabaseMissing) {
        std::printf("  %s: would be removed\n", name.c_str());
        return;
    }
    size_t cleared = 0;
    size_t set = 0;
    std::vector<std::string> lines = DiffRecords(oldDb, newDb, &cleared, &set);
    const char *what = oldStatus == kSyncErrDatabaseMissing ? "would be created"
                       : lines.empty()                      ? "would be rewritten, records the same"
                                                            : "would change";
    std::printf("  %s: %s, %zu record(s) afterwards\n", name.c_str(), what, newDb.records.size());
    for (const std::string &line : lines) std::printf("    %s\n", line.c_str());
    if (cleared) std::printf("    %zu modified mark(s) would be cleared\n", cleared);
    if (set) std::printf("    %zu modified mark(s) would be set\n", set);
}

namespace {

int DiffHandheld(const std::string &original, const std::string &copy) {
    int changed = 0;
    for (const std::string &name : UnionOfFiles(original, copy)) {
        const std::string before = original + "/" + name;
        const std::string after = copy + "/" + name;
        if (IsFile(before) && IsFile(after) && SameBytes(before, after)) continue;
        ++changed;
        bool database = name.size() > 4 && name.compare(name.size() - 4, 4, ".pdb") == 0;
        if (database) {
            DiffDatabaseFile(name, before, after);
        } else {
            std::printf("  %s: would be %s\n", name.c_str(),
                        !IsFile(before) ? "installed" : !IsFile(after) ? "removed" : "replaced");
        }
    }
    return changed;
}

// ---- Desktop text files

std::vector<std::string> Lines(const std::string &path) {
    std::string text;
    std::vector<std::string> lines;
    if (standin::os::ReadAll(path, &text) != 0) return lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

void DiffTextFile(const std::string &name, const std::string &before, const std::string &after) {
    if (!IsFile(after)) {
        std::printf("  %s: would be removed\n", name.c_str());
        return;
    }
    std::vector<std::string> old = Lines(before);
    std::vector<std::string> now = Lines(after);
    std::printf("  %s: %s, %zu line(s) afterwards\n", name.c_str(),
                IsFile(before) ? "would change" : "would be created", now.size());
    auto steps = DiffSequences(old.size(), now.size(),
                               [&](size_t i, size_t j) { return old[i] == now[j]; });
    for (const DiffStep &step : steps) {
        if (step.kind == kDiffKeep) continue;
        bool removed = step.kind == kDiffRemove;
        size_t index = removed ? step.oldIndex : step.newIndex;
        const std::string &line = removed ? old[index] : now[index];
        std::printf("    %c line %zu: %s\n", removed ? '-' : '+', index + 1,
                    Summary(line, '\t').c_str());
    }
}

namespace {

int DiffDesktop(const std::string &original, const std::string &copy) {
    int changed = 0;
    for (const std::string &name : UnionOfFiles(original, copy)) {
        const std::string before = original + name;
        const std::string after = copy + name;
        if (IsFile(before) && IsFile(after) && SameBytes(before, after)) continue;
        ++changed;
        DiffTextFile(name, before, after);
    }
    return changed;
}

void PrintLogSince(size_t first) {
    std::printf("\nHotSync log entries it would write:\n");
    for (size_t i = first; i < StandinLogCount(); ++i) {
        std::printf("  %4d  %s\n", StandinLogActivity(i), ToTerminal(StandinLogText(i)).c_str());
    }
}

int PrepareCopies(const UserContext &context, const std::vector<standin::ConduitEntry> &conduits,
                  const SyncTarget &target) {
    int status = CopyFolder(context.handheldDir, target.handheldDir);
    std::set<std::string> copied;
    for (const standin::ConduitEntry &conduit : conduits) {
        if (status != kExitOk) break;
        std::string from = DesktopDir(context.userDir, conduit);
        if (!copied.insert(from).second) continue;
        status = CopyFolder(from, DesktopDir(target.desktopUserDir, conduit));
    }
    return status;
}

int RunOnCopies(const UserContext &context, const std::vector<standin::ConduitEntry> &conduits,
                const SyncOptions &options, const SyncTarget &target) {
    int status = PrepareCopies(context, conduits, target);
    if (status != kExitOk) return status;
    StandinSetHandheldDir(target.handheldDir.c_str());
    StandinSetLogFile((target.desktopUserDir + "/hotsync.log").c_str());
    const size_t firstEntry = StandinLogCount();
    std::printf("Dry run of a HotSync of \"%s\": nothing is changed.\n",
                ToTerminal(context.user.name).c_str());
    int failures = InstallQueued(context, target);
    for (const standin::ConduitEntry &conduit : conduits) {
        failures += SyncOneConduit(context, conduit, target, options) != 0 ? 1 : 0;
    }
    std::printf("\nOn the handheld (%s):\n", context.handheldDir.c_str());
    if (DiffHandheld(context.handheldDir, target.handheldDir) == 0) std::printf("  no changes\n");
    std::set<std::string> shown;
    for (const standin::ConduitEntry &conduit : conduits) {
        std::string original = DesktopDir(context.userDir, conduit);
        if (!shown.insert(original).second) continue;
        std::printf("\nOn the desktop (%s):\n", original.c_str());
        if (DiffDesktop(original, DesktopDir(target.desktopUserDir, conduit)) == 0) {
            std::printf("  no changes\n");
        }
    }
    PrintLogSince(firstEntry);
    return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunDryRun(const UserContext &context, const std::vector<standin::ConduitEntry> &conduits,
              const SyncOptions &options) {
    std::string scratch;
    std::string error;
    if (MakeScratchDirectory(&scratch, &error) != kExitOk) return Error(error);
    SyncTarget target{scratch + "/handheld", scratch + "/user", true};
    int status = RunOnCopies(context, conduits, options, target);
    RemoveTree(scratch);
    return status;
}

}  // namespace host
