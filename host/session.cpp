// Messages, the root, the chosen user and the paths below them.
#include <cstdio>

#include "lenfol.h"
#include "host.h"
#include "os.h"
#include "standin.h"

namespace host {

namespace {

std::string UserNames(const std::vector<standin::UserEntry> &users) {
    std::string names;
    for (const standin::UserEntry &user : users) {
        if (!names.empty()) names += ", ";
        names += "\"" + user.name + "\"";
    }
    return names;
}

std::string Hex(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// The conduit's one status of its own; every other one the host meets is the
// stand-in's or the sync manager's.
const char *StatusMeaning(int32_t status) {
    if (status == kConduitErrDesktopFile) return "the desktop file could not be read or written";
    return StandinStatusMeaning(status);
}

}  // namespace

int Error(const std::string &message) {
    std::fprintf(stderr, "hotsync: error: %s\n", message.c_str());
    return kExitError;
}

void Warn(const std::string &message) {
    std::fprintf(stderr, "hotsync: warning: %s\n", message.c_str());
}

std::string ResolveRoot(const GlobalOptions &options) {
    if (!options.root.empty()) StandinSetRoot(options.root.c_str());
    return standin::RootPath();
}

int ResolveUser(const GlobalOptions &options, const std::string &userName, UserContext *context) {
    context->root = ResolveRoot(options);
    std::vector<standin::UserEntry> users;
    if (standin::LoadUsers(context->root, &users) != 0) {
        return Error("cannot read the users of " + context->root + "/users.ini");
    }
    if (users.empty()) {
        return Error("no HotSync users in " + context->root +
                     "; create one with: hotsync init --user NAME");
    }
    const standin::UserEntry *user = nullptr;
    if (!userName.empty()) {
        user = standin::FindUserByName(users, userName);
        if (!user) {
            return Error("no user named \"" + userName + "\" in " + context->root +
                         " (users: " + UserNames(users) + ")");
        }
    } else if (users.size() == 1) {
        user = &users[0];
    } else {
        return Error(context->root + " has " + std::to_string(users.size()) +
                     " users; choose one with --user (" + UserNames(users) + ")");
    }
    context->user = *user;
    context->userDir = context->root + "/" + user->directory;
    context->handheldDir =
        options.handheld.empty() ? context->userDir + "/handheld" : options.handheld;
    return kExitOk;
}

std::string SyncSettingsPath(const UserContext &context) { return context.userDir + "/sync.ini"; }

std::string UserLogPath(const UserContext &context) { return context.userDir + "/hotsync.log"; }

std::string BackupDir(const UserContext &context) { return context.userDir + "/backup"; }

std::string DesktopDir(const std::string &userDir, const standin::ConduitEntry &conduit) {
    std::string dir = userDir + "/";
    if (!conduit.pcDirectory.value_or("").empty())
        dir += standin::os::NativePath(*conduit.pcDirectory) + "/";
    return dir;
}

std::string DatabasePath(const std::string &handheldDir, const std::string &name) {
    return handheldDir + "/" + name + ".pdb";
}

std::string DescribeStatus(int32_t status) {
    std::string text = status < 0 ? std::to_string(status) : Hex(status);
    const char *meaning = StatusMeaning(status);
    return meaning ? text + " (" + meaning + ")" : text;
}

std::string DescribeSyncType(int32_t type) {
    switch (type) {
    case kSyncTypeHandheldToDesktop: return "handheld overwrites desktop (type 2)";
    case kSyncTypeDesktopToHandheld: return "desktop overwrites handheld (type 3)";
    case kSyncTypeDoNothing: return "do nothing (type 6)";
    default: return "type " + std::to_string(type);
    }
}

}  // namespace host
