// The HotSync desktop's libraries on the simulated HotSync directory: user
// data (UserData.dll), the users of ROOT/users.ini in file order; the conduit
// manager (CONDMGR.dll), the root as HotSync directory and the registrations
// of ROOT/conduits.ini, one per creator ID; the install aide (INSTAIDE.dll),
// which queues a file for a user's next HotSync in the user's install.queue;
// and the HotSync API (HSAPI.dll), whose requests are only traced.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "hostile.h"
#include "os.h"
#include "root.h"
#include "standin.h"
#include "trace.h"

namespace {

// ---- User data

// A users.ini that cannot be read counts as no users; the reason goes to
// standard error so that a broken file is not mistaken for an empty one.
int32_t Users(std::vector<standin::UserEntry> *users) {
    const int32_t status = standin::LoadUsers(standin::RootPath(), users);
    if (status != 0)
        standin::WriteStderr("hotsync stand-in: cannot read " + standin::RootPath() +
                             "/users.ini (status " + std::to_string(status) + ")\n");
    return status;
}

int32_t UserId(int32_t index, uint32_t *userId) {
    if (!userId) return kStandinErrBadArgument;
    std::vector<standin::UserEntry> users;
    if (const int32_t status = Users(&users)) return status;
    if (index < 0 || static_cast<size_t>(index) >= users.size()) return kStandinErrNotFound;
    *userId = users[static_cast<size_t>(index)].id;
    return 0;
}

int32_t UserField(uint32_t userId, bool directory, char *buffer, uint32_t *size) {
    if (!buffer || !size) return kStandinErrBadArgument;
    std::vector<standin::UserEntry> users;
    if (const int32_t status = Users(&users)) return status;
    const standin::UserEntry *user = standin::FindUserById(users, userId);
    if (!user) return kStandinErrNotFound;
    return standin::CopyToCaller(directory ? user->directory : user->name, buffer, size);
}

// Only the low 16 bits, read as a signed number, count.
int32_t HostileCount(int32_t count, bool) {
    if (!standin::Hostile()) return count;
    const uint32_t low = static_cast<uint32_t>(count) & 0xFFFF;
    return static_cast<int32_t>((standin::HostileNumber() << 16) | low);
}

// A name or directory query: the text and its NUL within the stated size.
int32_t FieldQuery(const char *operation, uint32_t userId, bool directory, char *buffer,
                   uint32_t *size) {
    return standin::Call(operation, [=] { return UserField(userId, directory, buffer, size); },
                         standin::TextQuery(buffer, size), userId, standin::SizeArgument(size));
}

// ---- Conduit manager

int32_t HotSyncDirectory(char *directory, uint32_t *size) {
    if (!directory || !size) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    std::error_code error;
    if (!std::filesystem::is_directory(standin::os::FsPath(root), error)) return kStandinErrNotFound;
    return standin::CopyToCaller(root, directory, size);
}

using Conduits = std::vector<standin::ConduitEntry>;

// Loads the registrations, lets `edit` change them, given the one of `creator`
// or null, and saves them when it answers 0.
template <typename Edit>
int32_t Update(const char *creator, Edit edit) {
    if (!creator || !standin::ValidCreator(creator)) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    Conduits conduits;
    int32_t status = standin::LoadConduits(root, &conduits);
    if (status == 0) status = edit(&conduits, standin::FindConduit(&conduits, creator));
    return status != 0 ? status : standin::SaveConduits(root, conduits);
}

int32_t Install(const char *creator, int32_t conduitType) {
    return Update(creator, [=](Conduits *conduits, standin::ConduitEntry *found) -> int32_t {
        if (found) return kCondMgrAlreadyInstalled;
        conduits->push_back({creator, conduitType, {}, {}, {}, {}, {}});
        return 0;
    });
}

int32_t TracedSet(const char *operation, const char *creator, standin::ConduitField field,
                  const char *value) {
    auto set = [=](Conduits *, standin::ConduitEntry *found) -> int32_t {
        if (!found) return kStandinErrNotFound;
        found->*field = value;
        return 0;
    };
    return standin::Call(
        operation, [=] { return value ? Update(creator, set) : kStandinErrBadArgument; },
        standin::Status(), creator, value);
}

// Non-zero when a registration was removed: the reverse of the other calls.
int32_t Remove(const char *creator) {
    auto remove = [](Conduits *conduits, standin::ConduitEntry *found) -> int32_t {
        if (!found) return kStandinErrNotFound;
        conduits->erase(conduits->begin() + (found - conduits->data()));
        return 0;
    };
    return Update(creator, remove) == 0 ? 1 : 0;
}

// ---- Install aide

int32_t Queue(const char *userName, const char *path) {
    if (!userName || !path) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    std::vector<standin::UserEntry> users;
    if (const int32_t status = standin::LoadUsers(root, &users)) return status;
    const standin::UserEntry *user = standin::FindUserByName(users, userName);
    if (!user) return kStandinErrNotFound;
    // The path names a file to pick up later, so it is kept in POSIX form.
    return standin::AppendQueue(root, *user, standin::os::NativePath(path));
}

}  // namespace

extern "C" {

int32_t HS_CALL GetHotSyncUserCount(void) {
    auto count = [] {
        std::vector<standin::UserEntry> users;
        return Users(&users) == 0 ? static_cast<int32_t>(users.size()) : 0;
    };
    return standin::Call("GetHotSyncUserCount", count, HostileCount);
}

int32_t HS_CALL GetHotSyncUserId(int32_t index, uint32_t *userId) {
    bool written = false;
    auto outcome = [&](int32_t status, bool) {
        // A failed query leaves no defined ID.
        written = status == 0 || (userId && standin::Hostile());
        if (status != 0 && written) *userId = standin::HostileNumber();
        return standin::FailureStatus(status);
    };
    return standin::Call("GetHotSyncUserId", [=] { return UserId(index, userId); }, outcome, [&] {
        return standin::Arguments{std::to_string(index), written ? std::to_string(*userId) : ""};
    });
}

int32_t HS_CALL GetHotSyncUserName(uint32_t userId, char *name, uint32_t *size) {
    return FieldQuery("GetHotSyncUserName", userId, false, name, size);
}

int32_t HS_CALL GetHotSyncUserDirectory(uint32_t userId, char *directory, uint32_t *size) {
    return FieldQuery("GetHotSyncUserDirectory", userId, true, directory, size);
}

int32_t HS_CALL GetHotSyncDirectory(char *directory, uint32_t *size) {
    return standin::Call("GetHotSyncDirectory", [=] { return HotSyncDirectory(directory, size); },
                         standin::TextQuery(directory, size), standin::SizeArgument(size));
}

int32_t HS_CALL InstallConduit(const char *creator, int32_t conduitType) {
    return standin::Call(
        "InstallConduit", [=] { return Install(creator, conduitType); },
        standin::Status(kCondMgrAlreadyInstalled), creator, conduitType);
}

int32_t HS_CALL SetConduitCreatorName(const char *creator, const char *path) {
    return TracedSet("SetConduitCreatorName", creator, &standin::ConduitEntry::creatorName, path);
}

int32_t HS_CALL SetConduitDirectory(const char *creator, const char *dir) {
    return TracedSet("SetConduitDirectory", creator, &standin::ConduitEntry::pcDirectory, dir);
}

int32_t HS_CALL SetConduitFileName(const char *creator, const char *file) {
    return TracedSet("SetConduitFileName", creator, &standin::ConduitEntry::pcFileName, file);
}

int32_t HS_CALL SetConduitTitle(const char *creator, const char *title) {
    return TracedSet("SetConduitTitle", creator, &standin::ConduitEntry::title, title);
}

int32_t HS_CALL SetConduitRemoteFile(const char *creator, const char *db) {
    return TracedSet("SetConduitRemoteFile", creator, &standin::ConduitEntry::remoteFile, db);
}

int32_t HS_CALL RemoveConduit(const char *creator) {
    return standin::Call("RemoveConduit", [=] { return Remove(creator); }, standin::YesOrNo,
                         creator);
}

int32_t HS_CALL QueueHandheldInstall(const char *userName, const char *path) {
    return standin::Call(
        "QueueHandheldInstall", [=] { return Queue(userName, path); }, standin::Unexamined,
        userName, path);
}

int32_t HS_CALL NotifyHotSyncManager(int32_t request, int32_t argument) {
    return standin::Call(
        "NotifyHotSyncManager", [] { return 0; }, standin::Unexamined, request, argument);
}

}  // extern "C"
