// User data (UserData.dll): the users of ROOT/users.ini, in file order.
#include <string>
#include <vector>

#include "hostile.h"
#include "root.h"
#include "standin.h"
#include "trace.h"

namespace {

// A users.ini that cannot be read counts as no users; the reason goes to
// standard error so that a broken file is not mistaken for an empty one.
std::vector<standin::UserEntry> Users(int32_t *status) {
    std::vector<standin::UserEntry> users;
    *status = standin::LoadUsers(standin::RootPath(), &users);
    if (*status != 0) {
        standin::WriteStderr("hotsync stand-in: cannot read " + standin::RootPath() +
                             "/users.ini (status " + std::to_string(*status) + ")\n");
    }
    return users;
}

int32_t UserCount() {
    int32_t status = 0;
    return static_cast<int32_t>(Users(&status).size());
}

int32_t UserId(int32_t index, uint32_t *userId) {
    if (!userId) return kStandinErrBadArgument;
    int32_t status = 0;
    std::vector<standin::UserEntry> users = Users(&status);
    if (status != 0) return status;
    if (index < 0 || static_cast<size_t>(index) >= users.size()) return kStandinErrNotFound;
    *userId = users[static_cast<size_t>(index)].id;
    return 0;
}

// Copies the name (or the directory) of user `userId` into the caller's buffer.
int32_t UserField(uint32_t userId, bool directory, char *buffer, uint32_t *size) {
    if (!buffer || !size) return kStandinErrBadArgument;
    int32_t status = 0;
    std::vector<standin::UserEntry> users = Users(&status);
    if (status != 0) return status;
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

}  // namespace

extern "C" {

int32_t HS_CALL GetHotSyncUserCount(void) {
    return standin::Call("GetHotSyncUserCount", UserCount, HostileCount);
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

}  // extern "C"
