// The backup of one HotSync: its folder, its manifest, and what a HotSync
// keeps there and drops again (backup.h).
#include "backup.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "host_os.h"
#include "os.h"
#include "pdb.h"
#include "standin.h"

namespace fs = std::filesystem;

namespace host {

namespace {

constexpr char kManifest[] = "manifest.ini";
constexpr size_t kStampLength = 15;  // YYYYMMDD-HHMMSS
// The creation, modification and backup dates and the modification number
// of a .pdb header: a HotSync sets them even where it leaves every record as
// it was.
constexpr size_t kPdbDatesStart = 36;
constexpr size_t kPdbDatesEnd = 52;

struct StampName {
    std::string base;           // YYYYMMDD-HHMMSS
    unsigned long sequence = 1;  // 2, 3, ... for the later ones of that second
};

bool AllDigits(const std::string &text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

template <typename Number>
bool ParseNumber(const std::string &text, Number *value) {
    const char *end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, *value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseStamp(const std::string &name, StampName *stamp) {
    if (name.size() < kStampLength) return false;
    std::string base = name.substr(0, kStampLength);
    if (!AllDigits(base.substr(0, 8)) || base[8] != '-' || !AllDigits(base.substr(9))) return false;
    stamp->base = base;
    stamp->sequence = 1;
    if (name.size() == kStampLength) return true;
    std::string rest = name.substr(kStampLength);
    return rest[0] == '-' && AllDigits(rest.substr(1)) &&
           ParseNumber(rest.substr(1), &stamp->sequence) && stamp->sequence >= 2;
}

bool Older(const StampName &a, const StampName &b) {
    return a.base != b.base ? a.base < b.base : a.sequence < b.sequence;
}

std::string FormatTime(std::time_t time, const char *format) {
    std::tm local{};
    os::LocalTime(time, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

bool EndsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A name of one folder entry, so that no manifest can point outside its place.
bool PlainName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

bool RelativePath(const std::string &path) {
    if (path.empty() || path[0] == '/' || path.find('\\') != std::string::npos) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = std::min(path.find('/', start), path.size());
        if (!PlainName(path.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

// ---- The manifest

std::string FormatManifest(const Backup &backup) {
    std::vector<standin::IniSection> sections;
    sections.push_back({"HotSync", {{"time", backup.time}, {"finished", backup.finished ? "yes" : "no"}}});
    for (const KeptFile &file : backup.files) {
        standin::IniSection section{"file",
                                    {{"place", file.place == kKeptHandheld ? "handheld" : "desktop"},
                                     {"path", file.path},
                                     {"copy", file.copy},
                                     {"size", std::to_string(file.size)}}};
        if (!file.conduit.empty()) {
            section.entries.push_back({"conduit", file.conduit});
            section.entries.push_back({"type", std::to_string(file.type)});
        }
        sections.push_back(section);
    }
    return standin::FormatIni(sections);
}

std::string Value(const standin::IniSection &section, const char *key) {
    const std::string *value = standin::FindIniValue(section, key);
    return value ? *value : std::string();
}

// "" when the section is a usable file entry, else what is wrong with it.
std::string ParseFileSection(const standin::IniSection &section, KeptFile *file) {
    const std::string place = Value(section, "place");
    if (place != "handheld" && place != "desktop") return "no place handheld or desktop";
    file->place = place == "handheld" ? kKeptHandheld : kKeptDesktop;
    file->path = Value(section, "path");
    if (file->place == kKeptHandheld ? !PlainName(file->path) : !RelativePath(file->path)) {
        return "path \"" + file->path + "\" is not a file of its place";
    }
    file->copy = Value(section, "copy");
    if (!PlainName(file->copy) || file->copy == kManifest) return "no copy named";
    if (!ParseNumber(Value(section, "size"), &file->size)) return "no size";
    file->conduit = Value(section, "conduit");
    if (!file->conduit.empty() && !ParseNumber(Value(section, "type"), &file->type)) {
        return "no sync type";
    }
    return std::string();
}

void ParseManifest(const std::string &text, Backup *backup) {
    std::vector<standin::IniSection> sections;
    size_t line = 0;
    if (standin::ParseIni(text, &sections, &line) != 0) {
        backup->problem = std::string(kManifest) + " line " + std::to_string(line) + " is not INI text";
        return;
    }
    if (sections.empty() || sections[0].name != "HotSync" || Value(sections[0], "time").empty()) {
        backup->problem = std::string(kManifest) + " does not start with the [HotSync] time";
        return;
    }
    backup->time = Value(sections[0], "time");
    backup->finished = Value(sections[0], "finished") == "yes";
    for (size_t i = 1; i < sections.size() && backup->problem.empty(); ++i) {
        KeptFile file;
        std::string problem = sections[i].name == "file" ? ParseFileSection(sections[i], &file)
                                                         : "[" + sections[i].name + "] is not [file]";
        if (!problem.empty()) {
            backup->problem = std::string(kManifest) + ", entry " + std::to_string(i) + ": " + problem;
        }
        backup->files.push_back(file);
    }
    if (backup->problem.empty() && backup->files.empty()) {
        backup->problem = std::string(kManifest) + " lists no file";
    }
}

int WriteManifest(const Backup &backup, std::string *error) {
    const std::string path = backup.dir + "/" + kManifest;
    if (standin::os::WriteAll(path, FormatManifest(backup)) == 0) return kExitOk;
    *error = "cannot write " + path;
    return kExitError;
}

// ---- Backup folders

struct Scan {
    std::vector<std::pair<StampName, Backup>> backups;
    std::vector<std::string> withoutManifest;  // folders a HotSync never got to list anything in
};

Scan ScanBackups(const UserContext &context) {
    Scan scan;
    const std::string dir = BackupDir(context);
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        StampName stamp;
        const std::string name = it->path().filename().string();
        if (!it->is_directory(typeError) || !ParseStamp(name, &stamp)) continue;
        Backup backup;
        backup.stamp = name;
        backup.dir = dir + "/" + name;
        std::string text;
        int status = standin::os::ReadAll(backup.dir + "/" + kManifest, &text);
        if (status == kStandinErrNotFound) {
            scan.withoutManifest.push_back(backup.dir);
            continue;
        }
        if (status != 0) {
            backup.problem = std::string(kManifest) + " cannot be read";
        } else {
            ParseManifest(text, &backup);
        }
        scan.backups.emplace_back(stamp, backup);
    }
    std::sort(scan.backups.begin(), scan.backups.end(),
              [](const auto &a, const auto &b) { return Older(b.first, a.first); });
    return scan;
}

// Later than every backup there is, even when the clock went back or a
// backup of the same second was dropped: restore takes the newest by name.
StampName NextStamp(const Scan &scan, std::time_t now) {
    StampName next{FormatTime(now, "%Y%m%d-%H%M%S"), 1};
    std::vector<StampName> all;
    for (const auto &entry : scan.backups) all.push_back(entry.first);
    for (const std::string &dir : scan.withoutManifest) {
        StampName stamp;
        if (ParseStamp(BaseName(dir), &stamp)) all.push_back(stamp);
    }
    for (const StampName &stamp : all) {
        if (!Older(stamp, next)) next = StampName{stamp.base, stamp.sequence + 1};
    }
    return next;
}

int StartBackup(const UserContext &context, Backup *backup, std::string *error) {
    if (MakeDirectories(BackupDir(context), error) != kExitOk) return kExitError;
    const std::time_t now = std::time(nullptr);
    StampName stamp = NextStamp(ScanBackups(context), now);
    backup->stamp = stamp.base + (stamp.sequence > 1 ? "-" + std::to_string(stamp.sequence) : "");
    backup->dir = BackupDir(context) + "/" + backup->stamp;
    backup->time = FormatTime(now, "%Y-%m-%d %H:%M:%S");
    backup->finished = false;
    std::error_code ec;
    if (!fs::create_directory(backup->dir, ec)) {
        *error = "cannot create directory " + backup->dir + (ec ? ": " + ec.message() : "");
        backup->dir.clear();
        return kExitError;
    }
    return kExitOk;
}

std::string CopyName(const Backup &backup, const std::string &name) {
    std::string copy = name;
    auto taken = [&](const std::string &candidate) {
        return candidate == kManifest ||
               std::any_of(backup.files.begin(), backup.files.end(),
                           [&](const KeptFile &file) { return file.copy == candidate; });
    };
    for (unsigned n = 2; taken(copy); ++n) copy = std::to_string(n) + "-" + name;
    return copy;
}

bool SameContent(const std::string &name, const std::string &before, const std::string &now) {
    if (before == now) return true;
    if (!EndsWith(name, ".pdb") || before.size() != now.size() || before.size() < kPdbHeaderSize) {
        return false;
    }
    return before.compare(0, kPdbDatesStart, now, 0, kPdbDatesStart) == 0 &&
           before.compare(kPdbDatesEnd, std::string::npos, now, kPdbDatesEnd, std::string::npos) == 0;
}

bool LeftAsItWas(const UserContext &context, const Backup &backup, const KeptFile &file) {
    std::string before;
    std::string now;
    return standin::os::ReadAll(backup.dir + "/" + file.copy, &before) == 0 &&
           standin::os::ReadAll(KeptFilePath(context, file), &now) == 0 &&
           SameContent(file.path, before, now);
}

}  // namespace

std::string LocalTimeText() { return FormatTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S"); }

std::string KeptFilePath(const UserContext &context, const KeptFile &file) {
    return (file.place == kKeptHandheld ? context.handheldDir : context.userDir) + "/" + file.path;
}

std::string KeptFileLabel(const KeptFile &file) {
    return file.place == kKeptHandheld ? "handheld/" + file.path : file.path;
}

std::string BackupCause(const Backup &backup) {
    std::vector<std::string> causes;
    for (const KeptFile &file : backup.files) {
        std::string cause = file.conduit.empty() ? "installed from the queue"
                                                 : file.conduit + ": " + DescribeSyncType(file.type);
        if (std::find(causes.begin(), causes.end(), cause) == causes.end()) causes.push_back(cause);
    }
    std::string text;
    for (const std::string &cause : causes) text += (text.empty() ? "" : "; ") + cause;
    return text;
}

std::vector<Backup> LoadBackups(const UserContext &context) {
    std::vector<Backup> backups;
    for (auto &entry : ScanBackups(context).backups) backups.push_back(std::move(entry.second));
    return backups;
}

int ReadKeptCopy(const Backup &backup, const KeptFile &file, std::string *bytes,
                 std::string *problem) {
    const std::string path = backup.dir + "/" + file.copy;
    int status = standin::os::ReadAll(path, bytes);
    if (status == kStandinErrNotFound) {
        *problem = "the copy " + file.copy + " of " + KeptFileLabel(file) + " is missing";
    } else if (status != 0) {
        *problem = "the copy " + file.copy + " cannot be read";
    } else if (bytes->size() != file.size) {
        *problem = "the copy " + file.copy + " holds " + std::to_string(bytes->size()) +
                   " bytes, not the " + std::to_string(file.size) + " it was kept with";
    } else if (EndsWith(file.path, ".pdb")) {
        PdbDatabase db;
        if (PdbParse(reinterpret_cast<const uint8_t *>(bytes->data()), bytes->size(), &db) != 0) {
            *problem = "the copy " + file.copy + " is not a valid Palm database file";
        }
    }
    return problem->empty() ? kExitOk : kExitError;
}

int DropBackup(const Backup &backup, std::string *error) {
    std::error_code ec;
    fs::remove(backup.dir + "/" + kManifest, ec);
    if (ec) {
        *error = "cannot remove " + backup.dir + "/" + kManifest + ": " + ec.message();
        return kExitError;
    }
    RemoveTree(backup.dir);
    return kExitOk;
}

int KeepFile(const UserContext &context, Backup *backup, KeptFile file, const std::string &source,
             std::string *error) {
    for (const KeptFile &kept : backup->files) {
        if (kept.place == file.place && kept.path == file.path) return kExitOk;
    }
    std::string bytes;
    if (standin::os::ReadAll(source, &bytes) != 0) {
        *error = "cannot read " + source;
        return kExitError;
    }
    if (backup->dir.empty() && StartBackup(context, backup, error) != kExitOk) return kExitError;
    file.size = bytes.size();
    file.copy = CopyName(*backup, BaseName(file.path));
    const std::string copy = backup->dir + "/" + file.copy;
    if (standin::os::WriteAll(copy, bytes) != 0) {
        *error = "cannot write " + copy;
        return kExitError;
    }
    // Only once the manifest lists the copy may the file change.
    backup->files.push_back(file);
    if (WriteManifest(*backup, error) != kExitOk) {
        backup->files.pop_back();
        RemoveFile(copy);
        return kExitError;
    }
    return kExitOk;
}

int FinishBackup(const UserContext &context, Backup *backup, std::vector<KeptFile> *kept,
                 std::string *error) {
    kept->clear();
    if (backup->dir.empty()) return kExitOk;
    std::vector<KeptFile> unchanged;
    for (const KeptFile &file : backup->files) {
        (LeftAsItWas(context, *backup, file) ? unchanged : *kept).push_back(file);
    }
    if (kept->empty()) return DropBackup(*backup, error);
    Backup finished = *backup;
    finished.files = *kept;
    finished.finished = true;
    if (WriteManifest(finished, error) != kExitOk) return kExitError;
    for (const KeptFile &file : unchanged) RemoveFile(backup->dir + "/" + file.copy);
    *backup = finished;
    return kExitOk;
}

int FinishLeftBackups(const UserContext &context, std::string *error) {
    for (Backup &backup : LoadBackups(context)) {
        if (backup.finished || !backup.problem.empty()) continue;
        std::vector<KeptFile> kept;
        if (FinishBackup(context, &backup, &kept, error) != kExitOk) return kExitError;
    }
    return kExitOk;
}

void PruneBackups(const UserContext &context) {
    Scan scan = ScanBackups(context);
    for (const std::string &dir : scan.withoutManifest) RemoveTree(dir);
    for (size_t i = kBackupsKept; i < scan.backups.size(); ++i) {
        std::string error;
        DropBackup(scan.backups[i].second, &error);
    }
    // A HotSync that kept nothing leaves no backup folder behind; one that
    // holds anything else stays.
    std::error_code ec;
    if (scan.backups.empty() && IsDirectory(BackupDir(context))) fs::remove(BackupDir(context), ec);
}

}  // namespace host
