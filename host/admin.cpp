// init, users and conduits: setting up and listing the HotSync directory.
#include <cctype>
#include <cstdio>

#include "conduit_loader.h"
#include "host.h"

namespace host {

namespace {

// User names travel through 512-byte buffers and prompts built in them.
constexpr size_t kMaxUserName = 100;
constexpr size_t kMaxDirectoryName = 32;

bool ValidUserName(const std::string &name) {
    if (name.empty() || name.size() > kMaxUserName) return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return name.front() != ' ' && name.back() != ' ';
}

bool DirectoryTaken(const std::vector<standin::UserEntry> &users, const std::string &directory) {
    for (const standin::UserEntry &user : users) {
        if (user.directory == directory) return true;
    }
    return false;
}

// The user's letters and digits, as a HotSync Manager names user directories.
std::string DirectoryFor(const std::string &name, const std::vector<standin::UserEntry> &users) {
    std::string base;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) && base.size() < kMaxDirectoryName) base += c;
    }
    if (base.empty()) base = "User";
    std::string directory = base;
    for (int n = 2; DirectoryTaken(users, directory); ++n) directory = base + std::to_string(n);
    return directory;
}

uint32_t NextUserId(const std::vector<standin::UserEntry> &users) {
    uint32_t id = 0;
    for (const standin::UserEntry &user : users) {
        if (user.id > id) id = user.id;
    }
    return id + 1;
}

int AddOneUser(const std::string &root, const std::string &name) {
    std::vector<standin::UserEntry> users;
    if (standin::LoadUsers(root, &users) != 0) return Error("cannot read " + root + "/users.ini");
    if (standin::FindUserByName(users, name)) {
        std::printf("User \"%s\" exists; unchanged.\n", ToTerminal(name).c_str());
        return kExitOk;
    }
    standin::UserEntry user;
    user.name = name;
    user.id = NextUserId(users);
    user.directory = DirectoryFor(name, users);
    int status = standin::AddUser(root, user);
    if (status != 0) return Error("cannot add user \"" + name + "\": " + DescribeStatus(status));
    std::string error;
    std::string handheld = root + "/" + user.directory + "/handheld";
    if (MakeDirectories(handheld, &error) != kExitOk) return Error(error);
    std::printf("Added user \"%s\": ID %u, directory %s, handheld %s\n", ToTerminal(name).c_str(),
                user.id, user.directory.c_str(), handheld.c_str());
    return kExitOk;
}

void PrintRegistration(const char *label, const std::optional<std::string> &value) {
    std::printf("  %-13s %s\n", label, value ? ToTerminal(*value).c_str() : "(not set)");
}

}  // namespace

int RunInit(const GlobalOptions &options, const std::vector<std::string> &userNames) {
    for (const std::string &name : userNames) {
        if (!ValidUserName(name)) {
            return Error("user name \"" + name + "\" must be 1 to " + std::to_string(kMaxUserName) +
                         " characters, without control characters or blanks at either end");
        }
    }
    std::string root = ResolveRoot(options);
    std::string error;
    bool existed = IsDirectory(root);
    if (MakeDirectories(root, &error) != kExitOk) return Error(error);
    std::printf("%s HotSync directory %s\n", existed ? "Using" : "Created", root.c_str());
    for (const std::string &name : userNames) {
        int status = AddOneUser(root, name);
        if (status != kExitOk) return status;
    }
    return kExitOk;
}

int RunUsers(const GlobalOptions &options) {
    std::string root = ResolveRoot(options);
    std::vector<standin::UserEntry> users;
    if (standin::LoadUsers(root, &users) != 0) return Error("cannot read " + root + "/users.ini");
    if (users.empty()) {
        std::printf("No HotSync users in %s.\n", root.c_str());
        return kExitOk;
    }
    std::printf("%-24s %10s  %s\n", "User", "ID", "Directory");
    for (const standin::UserEntry &user : users) {
        std::printf("%s %10u  %s/%s\n", Cell(user.name, 24).c_str(), user.id, root.c_str(),
                    user.directory.c_str());
    }
    return kExitOk;
}

int RunConduits(const GlobalOptions &options) {
    std::string root = ResolveRoot(options);
    std::vector<standin::ConduitEntry> conduits;
    if (standin::LoadConduits(root, &conduits) != 0) {
        return Error("cannot read " + root + "/conduits.ini");
    }
    if (conduits.empty()) {
        std::printf("No conduits registered in %s.\n", root.c_str());
        return kExitOk;
    }
    for (const standin::ConduitEntry &conduit : conduits) {
        std::printf("%s\n", conduit.creator.c_str());
        PrintRegistration("title", conduit.title);
        PrintRegistration("library", conduit.creatorName);
        PrintRegistration("PC directory", conduit.pcDirectory);
        PrintRegistration("PC file", conduit.pcFileName);
        PrintRegistration("handheld DB", conduit.remoteFile);
        std::printf("  %-13s %d\n", "type", conduit.conduitType);
        LoadedConduit loaded;
        std::string error;
        if (LoadConduit(conduit, &loaded, &error) != 0) {
            std::printf("  %-13s %s\n", "status", error.c_str());
            continue;
        }
        QueryConduit(conduit, nullptr, &loaded);
        std::printf("  %-13s \"%s\", version 0x%X, default action %s\n", "conduit",
                    ToTerminal(ConduitLabel(conduit, loaded)).c_str(), loaded.version,
                    loaded.hasDefaultAction ? DescribeSyncType(loaded.defaultAction).c_str()
                                            : "unknown");
        UnloadConduit(&loaded);
    }
    return kExitOk;
}

}  // namespace host
