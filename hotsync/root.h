/*
 * The simulated HotSync directory ("root") on disk: users, conduit
 * registrations and per-user install queues, in the formats of README.md. The
 * stand-in's user data, conduit manager and install aide are built on these,
 * and a host uses them to set up and read the same files. Every function
 * answers 0 or a status of standin.h; a write replaces its file whole.
 */
#ifndef LENSFOLIO_HOTSYNC_ROOT_H
#define LENSFOLIO_HOTSYNC_ROOT_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

// ---- Generic INI text: "[section]" lines, "key = value" lines, ';' or '#'
// comment lines. Keys and values are trimmed; no inline comments and no line
// length limit, so values up to any length survive a round trip.
struct IniEntry {
    std::string key;
    std::string value;
};

struct IniSection {
    std::string name;
    std::vector<IniEntry> entries;
};

// kStandinErrCorrupt, with *errorLine (1-based), on a line that is neither.
int ParseIni(const std::string &text, std::vector<IniSection> *sections, size_t *errorLine);
std::string FormatIni(const std::vector<IniSection> &sections);
const std::string *FindIniValue(const IniSection &section, const std::string &key);

// ---- Paths
// The root as an absolute path without a trailing '/': StandinSetRoot, else
// HOTSYNC_ROOT at first use, else $HOME/.hotsync.
const std::string &RootPath();

// ---- Users: ROOT/users.ini, one section per user, in HotSync index order.
struct UserEntry {
    std::string name;
    uint32_t id = 0;
    std::string directory;  // below the root
};

// A missing users.ini reads as no users.
int LoadUsers(const std::string &root, std::vector<UserEntry> *users);
int SaveUsers(const std::string &root, const std::vector<UserEntry> &users);
// Appends a user and creates the user's directory (if missing).
// kStandinErrExists when the name or ID is taken.
int AddUser(const std::string &root, const UserEntry &user);
const UserEntry *FindUserById(const std::vector<UserEntry> &users, uint32_t id);
const UserEntry *FindUserByName(const std::vector<UserEntry> &users, const std::string &name);

// ---- Conduit registrations: ROOT/conduits.ini, one section per creator ID.
// A field never set is absent from the file, and empty here.
struct ConduitEntry {
    std::string creator;  // four characters
    int32_t conduitType = 0;
    std::optional<std::string> creatorName, pcDirectory, pcFileName, title, remoteFile;
};

using ConduitField = std::optional<std::string> ConduitEntry::*;

// Four characters, none of which would break conduits.ini.
bool ValidCreator(const std::string &creator);
int LoadConduits(const std::string &root, std::vector<ConduitEntry> *conduits);
int SaveConduits(const std::string &root, const std::vector<ConduitEntry> &conduits);
ConduitEntry *FindConduit(std::vector<ConduitEntry> *conduits, const std::string &creator);

// ---- Install queue: ROOT/<user directory>/install.queue, one path per line;
// a missing queue reads as empty.
std::string QueuePath(const std::string &root, const UserEntry &user);
int ReadQueue(const std::string &root, const UserEntry &user, std::vector<std::string> *paths);
int AppendQueue(const std::string &root, const UserEntry &user, const std::string &path);
int ClearQueue(const std::string &root, const UserEntry &user);

// Copies `text` into a caller's buffer of *size bytes. When it fits: the text
// and its NUL, *size = length + 1, 0. Otherwise the buffer gets an empty text
// (if *size > 0), *size the size needed, and kStandinErrBufferTooSmall.
int CopyToCaller(const std::string &text, char *buffer, uint32_t *size);

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_ROOT_H
