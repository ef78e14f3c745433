// Conduit manager (CONDMGR.dll): the root as HotSync directory and the
// registrations of ROOT/conduits.ini, one per creator ID.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "root.h"
#include "standin.h"
#include "trace.h"

namespace {

int32_t HotSyncDirectory(char *directory, uint32_t *size) {
    if (!directory || !size) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    std::error_code error;
    if (!std::filesystem::is_directory(root, error)) return kStandinErrNotFound;
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
        conduits->emplace_back();
        conduits->back().creator = creator;
        conduits->back().conduitType = conduitType;
        return 0;
    });
}

int32_t SetField(const char *creator, standin::ConduitField field, const char *value) {
    if (!value) return kStandinErrBadArgument;
    return Update(creator, [=](Conduits *, standin::ConduitEntry *found) -> int32_t {
        if (!found) return kStandinErrNotFound;
        found->*field = value;
        return 0;
    });
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

int32_t TracedSet(const char *operation, const char *creator, standin::ConduitField field,
                  const char *value) {
    return standin::Call(
        operation, [=] { return SetField(creator, field, value); }, standin::Status(), creator,
        value);
}

}  // namespace

extern "C" {

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

// Here 0 is the failure; any other value means removed.
int32_t HS_CALL RemoveConduit(const char *creator) {
    return standin::Call("RemoveConduit", [=] { return Remove(creator); }, standin::YesOrNo,
                         creator);
}

}  // extern "C"
