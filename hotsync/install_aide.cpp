// Install aide (INSTAIDE.dll): queues a file for a user's next HotSync by
// appending its path to ROOT/<user directory>/install.queue.
#include <string>
#include <vector>

#include "root.h"
#include "standin.h"
#include "trace.h"

namespace {

int32_t Queue(const char *userName, const char *path) {
    if (!userName || !path) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    std::vector<standin::UserEntry> users;
    int32_t status = standin::LoadUsers(root, &users);
    if (status != 0) return status;
    const standin::UserEntry *user = standin::FindUserByName(users, userName);
    if (!user) return kStandinErrNotFound;
    // The path names a file to pick up later, so it is kept in POSIX form.
    return standin::AppendQueue(root, *user, standin::PosixPath(path));
}

}  // namespace

extern "C" int32_t HS_CALL QueueHandheldInstall(const char *userName, const char *path) {
    return standin::Call(
        "QueueHandheldInstall", [=] { return Queue(userName, path); }, standin::Unexamined,
        userName, path);
}
