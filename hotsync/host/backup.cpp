// Backups of handheld databases before a conduit may overwrite them.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>

#include "host_os.h"
#include "sync_run.h"

namespace host {

namespace {

constexpr char kStampFormat[] = "%Y%m%d-%H%M%S";
constexpr size_t kStampLength = 15;  // YYYYMMDD-HHMMSS

struct BackupName {
    std::string file;
    std::string stamp;
    unsigned long sequence = 0;  // 0 for the first backup of that second
};

bool AllDigits(const std::string &text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// "<database>-YYYYMMDD-HHMMSS[-N].pdb"
bool ParseBackupName(const std::string &database, const std::string &file, BackupName *name) {
    const std::string prefix = database + "-";
    const std::string suffix = ".pdb";
    if (file.size() < prefix.size() + kStampLength + suffix.size()) return false;
    if (file.compare(0, prefix.size(), prefix) != 0) return false;
    if (file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    std::string middle = file.substr(prefix.size(), file.size() - prefix.size() - suffix.size());
    std::string stamp = middle.substr(0, kStampLength);
    if (!AllDigits(stamp.substr(0, 8)) || stamp[8] != '-' || !AllDigits(stamp.substr(9))) {
        return false;
    }
    name->file = file;
    name->stamp = stamp;
    name->sequence = 0;
    if (middle.size() == kStampLength) return true;
    std::string rest = middle.substr(kStampLength);
    if (rest[0] != '-' || !AllDigits(rest.substr(1)) || rest.size() > 10) return false;
    name->sequence = std::strtoul(rest.c_str() + 1, nullptr, 10);
    return true;
}

// The local time now, as strftime writes it with `format`.
std::string Now(const char *format) {
    std::tm local{};
    os::LocalTime(std::time(nullptr), &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

void Prune(const std::string &dir, const std::string &database) {
    std::vector<BackupName> backups;
    for (const std::string &file : ListFiles(dir)) {
        BackupName name;
        if (ParseBackupName(database, file, &name)) backups.push_back(name);
    }
    if (backups.size() <= kBackupsKept) return;
    std::sort(backups.begin(), backups.end(), [](const BackupName &a, const BackupName &b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.sequence < b.sequence;
    });
    for (size_t i = 0; i + kBackupsKept < backups.size(); ++i) {
        RemoveFile(dir + "/" + backups[i].file);
    }
}

}  // namespace

std::string LocalTimeText() { return Now("%Y-%m-%d %H:%M:%S"); }

int BackupDatabase(const UserContext &context, const std::string &database,
                   const std::string &source, std::string *savedAs, std::string *error) {
    const std::string dir = BackupDir(context);
    if (MakeDirectories(dir, error) != kExitOk) return kExitError;
    const std::string stamp = Now(kStampFormat);
    std::string file = database + "-" + stamp + ".pdb";
    for (unsigned n = 2; IsFile(dir + "/" + file); ++n) {
        file = database + "-" + stamp + "-" + std::to_string(n) + ".pdb";
    }
    if (CopyFile(source, dir + "/" + file, error) != kExitOk) return kExitError;
    *savedAs = dir + "/" + file;
    Prune(dir, database);
    return kExitOk;
}

}  // namespace host
