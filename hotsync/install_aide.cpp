// Install aide (INSTAIDE.dll): queues a file for a user's next HotSync by
// appending its path to ROOT/<user directory>/install.queue.
#include <string>
#include <vector>

#include "hostile.h"
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
    int32_t status = 0;
    bool injected = standin::Injected("QueueHandheldInstall", &status);
    if (!injected) status = Queue(userName, path);
    status = standin::UnexaminedResult(status);
    standin::TraceCall("QueueHandheldInstall", injected, status,
                       {standin::TextArgument(userName), standin::TextArgument(path)});
    return status;
}
