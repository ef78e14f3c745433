/*
 * The hotsync host: a stand-in HotSync Manager for Linux (and, as
 * hotsync.exe, for the Windows tests under Wine). It keeps the
 * simulated HotSync directory ("root"), loads the conduits registered there
 * and calls their exports the way a HotSync Manager does.
 *
 * Exit codes of every verb: 0 success; 1 the verb ran but something failed
 * (a conduit of a HotSync) or, for check, the file would change; 2 the verb
 * could not run (bad arguments, unknown user, unreadable file).
 */
#ifndef LENSFOLIO_HOST_H
#define LENSFOLIO_HOST_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "root.h"

namespace host {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitError = 2 };

// Activity codes of the host's own lines in the HotSync log: 100 to 104, in
// this order, as log files already hold them. The conduit's codes are -1 and
// 19 to 22, so the host keeps to a range of its own.
enum : int32_t {
    kLogHostSyncStart = 100,
    kLogHostSyncEnd,
    kLogHostInfo,
    kLogHostWarning,
    kLogHostError
};

// The files a HotSync changes are kept in the user's backup folder first,
// one folder per HotSync (backup.h); the newest this many stay.
enum { kBackupsKept = 5 };

struct GlobalOptions {
    std::string root;      // --root, else HOTSYNC_ROOT, else $HOME/.hotsync
    std::string handheld;  // --handheld, else ROOT/<user directory>/handheld
};

// One user's view of the root, resolved once per verb.
struct UserContext {
    std::string root;
    standin::UserEntry user;
    std::string userDir;      // ROOT/<user directory>
    std::string handheldDir;  // folder of .pdb files
};

// ---- Messages (standard error). Both return the exit code to give.
int Error(const std::string &message);
void Warn(const std::string &message);

// ---- Root and users (session.cpp)
// Applies --root to the stand-in and returns the root path in use.
std::string ResolveRoot(const GlobalOptions &options);
// Picks the user named `userName`, or the only user when it is empty. On
// failure prints why and returns kExitError.
int ResolveUser(const GlobalOptions &options, const std::string &userName, UserContext *context);
std::string SyncSettingsPath(const UserContext &context);
std::string UserLogPath(const UserContext &context);
std::string BackupDir(const UserContext &context);
// ROOT/<user directory>/<registered PC directory>/, with the trailing '/'.
std::string DesktopDir(const std::string &userDir, const standin::ConduitEntry &conduit);
std::string DatabasePath(const std::string &handheldDir, const std::string &name);
// "0x4010 (a .pdb or INI file cannot be parsed)": a status with what it
// means, if known.
std::string DescribeStatus(int32_t status);
std::string DescribeSyncType(int32_t type);

// ---- Files (files.cpp). Each returns 0 or fills *error and returns kExitError.
bool IsFile(const std::string &path);
bool IsDirectory(const std::string &path);
int MakeDirectories(const std::string &path, std::string *error);
int CopyFile(const std::string &from, const std::string &to, std::string *error);
// Names of the regular files in `dir`, sorted; empty when it does not exist.
std::vector<std::string> ListFiles(const std::string &dir);
int MakeScratchDirectory(std::string *path, std::string *error);
// Both leave nothing behind where they can and report nothing.
void RemoveFile(const std::string &path);
void RemoveTree(const std::string &path);
std::string BaseName(const std::string &path);

// ---- Stored sync types (sync_settings.cpp): ROOT/<user dir>/sync.ini,
// one section per creator with "default" and "once".
struct StoredSyncType {
    bool hasDefault = false;
    int32_t defaultType = 0;
    bool hasOnce = false;
    int32_t onceType = 0;
};
int LoadStoredSyncType(const std::string &path, const std::string &creator, StoredSyncType *stored,
                       std::string *error);
int SaveStoredSyncType(const std::string &path, const std::string &creator,
                       const StoredSyncType &stored, std::string *error);

// ---- Text for the terminal (text.cpp). Handheld and desktop text is
// Windows-1252; on a UTF-8 terminal it is shown as UTF-8.
void ChooseTerminalCharset();  // from the locale; call once at start
bool TerminalIsUtf8();
// Every byte as a character; control and unassigned bytes as \xNN.
std::string ToTerminal(const std::string &text);
// At most `width` characters, the last one "~" when the text was cut;
// control and unassigned bytes as '?'. Each byte is one character.
std::string Shorten(const std::string &text, size_t width);
// Shorten, then padded with blanks to exactly `width` characters.
std::string Cell(const std::string &text, size_t width);

// ---- Diff of two sequences (diff.cpp).
enum DiffKind { kDiffKeep, kDiffRemove, kDiffAdd };
struct DiffStep {
    DiffKind kind;
    size_t oldIndex;  // valid for keep and remove
    size_t newIndex;  // valid for keep and add
};
// A shortest edit script from the old sequence to the new one. Past a size
// where that costs too much memory, every differing element in the middle is
// removed and added.
std::vector<DiffStep> DiffSequences(size_t oldCount, size_t newCount,
                                    const std::function<bool(size_t, size_t)> &equal);

// ---- Verbs
int RunInit(const GlobalOptions &options, const std::vector<std::string> &userNames);
int RunUsers(const GlobalOptions &options);
int RunConduits(const GlobalOptions &options);
struct SyncOptions {
    std::string user;
    bool hasType = false;
    int32_t type = 0;
    bool dryRun = false;
};
int RunSync(const GlobalOptions &options, const SyncOptions &syncOptions);
int RunConfigure(const GlobalOptions &options, const std::string &user, const std::string &creator);
int RunShow(const GlobalOptions &options, const std::string &user, const std::string &database,
            bool full);
int RunLog(const GlobalOptions &options, const std::string &user, bool lastOnly);
int RunCheck(const std::string &file);
struct RestoreOptions {
    std::string user;
    bool list = false;
    bool dryRun = false;
};
int RunRestore(const GlobalOptions &options, const RestoreOptions &restore);

}  // namespace host

#endif  // LENSFOLIO_HOST_H
