// Conduit manager (CONDMGR.dll): the root as HotSync directory and the
// registrations of ROOT/conduits.ini, one per creator ID.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "hostile.h"
#include "root.h"
#include "standin.h"
#include "trace.h"

namespace {

enum Field { kCreatorName, kPcDirectory, kPcFileName, kTitle, kRemoteFile };

bool ValidCreator(const char *creator) {
    if (!creator) return false;
    std::string text(creator);
    return text.size() == 4 && text.find_first_of("[]\r\n") == std::string::npos;
}

int32_t HotSyncDirectory(char *directory, uint32_t *size) {
    if (!directory || !size) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    struct stat info;
    if (stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return kStandinErrNotFound;
    return standin::CopyToCaller(root, directory, size);
}

int32_t Install(const char *creator, int32_t conduitType) {
    if (!ValidCreator(creator)) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    std::vector<standin::ConduitEntry> conduits;
    int32_t status = standin::LoadConduits(root, &conduits);
    if (status != 0) return status;
    if (standin::FindConduit(&conduits, creator)) return kCondMgrAlreadyInstalled;
    standin::ConduitEntry conduit;
    conduit.creator = creator;
    conduit.conduitType = conduitType;
    conduits.push_back(conduit);
    return standin::SaveConduits(root, conduits);
}

void Assign(standin::ConduitEntry *conduit, Field field, const std::string &value) {
    switch (field) {
        case kCreatorName: conduit->creatorName = value; conduit->hasCreatorName = true; break;
        case kPcDirectory: conduit->pcDirectory = value; conduit->hasPcDirectory = true; break;
        case kPcFileName: conduit->pcFileName = value; conduit->hasPcFileName = true; break;
        case kTitle: conduit->title = value; conduit->hasTitle = true; break;
        case kRemoteFile: conduit->remoteFile = value; conduit->hasRemoteFile = true; break;
    }
}

int32_t SetField(const char *creator, Field field, const char *value) {
    if (!ValidCreator(creator) || !value) return kStandinErrBadArgument;
    const std::string &root = standin::RootPath();
    std::vector<standin::ConduitEntry> conduits;
    int32_t status = standin::LoadConduits(root, &conduits);
    if (status != 0) return status;
    standin::ConduitEntry *conduit = standin::FindConduit(&conduits, creator);
    if (!conduit) return kStandinErrNotFound;
    Assign(conduit, field, value);
    return standin::SaveConduits(root, conduits);
}

// Non-zero when a registration was removed: the reverse of the other calls.
int32_t Remove(const char *creator) {
    if (!ValidCreator(creator)) return 0;
    const std::string &root = standin::RootPath();
    std::vector<standin::ConduitEntry> conduits;
    if (standin::LoadConduits(root, &conduits) != 0) return 0;
    for (size_t i = 0; i < conduits.size(); ++i) {
        if (conduits[i].creator != creator) continue;
        conduits.erase(conduits.begin() + static_cast<std::ptrdiff_t>(i));
        return standin::SaveConduits(root, conduits) == 0 ? 1 : 0;
    }
    return 0;
}

int32_t TracedSet(const char *operation, const char *creator, Field field, const char *value) {
    int32_t status = 0;
    bool injected = standin::Injected(operation, &status);
    if (!injected) status = SetField(creator, field, value);
    status = standin::FailureStatus(status);
    standin::TraceCall(operation, injected, status,
                       {standin::TextArgument(creator), standin::TextArgument(value)});
    return status;
}

}  // namespace

extern "C" {

int32_t HS_CALL GetHotSyncDirectory(char *directory, uint32_t *size) {
    std::string sizeOnEntry = size ? std::to_string(*size) : "(null)";
    uint32_t stated = size ? *size : 0;
    int32_t status = 0;
    bool injected = standin::Injected("GetHotSyncDirectory", &status);
    if (!injected) status = HotSyncDirectory(directory, size);
    standin::HostileText(status, directory, stated, size);
    status = standin::FailureStatus(status);
    standin::TraceCall("GetHotSyncDirectory", injected, status, {sizeOnEntry});
    return status;
}

int32_t HS_CALL InstallConduit(const char *creator, int32_t conduitType) {
    int32_t status = 0;
    bool injected = standin::Injected("InstallConduit", &status);
    if (!injected) status = Install(creator, conduitType);
    status = standin::FailureStatus(status, kCondMgrAlreadyInstalled);
    standin::TraceCall("InstallConduit", injected, status,
                       {standin::TextArgument(creator), std::to_string(conduitType)});
    return status;
}

int32_t HS_CALL SetConduitCreatorName(const char *creator, const char *path) {
    return TracedSet("SetConduitCreatorName", creator, kCreatorName, path);
}

int32_t HS_CALL SetConduitDirectory(const char *creator, const char *dir) {
    return TracedSet("SetConduitDirectory", creator, kPcDirectory, dir);
}

int32_t HS_CALL SetConduitFileName(const char *creator, const char *file) {
    return TracedSet("SetConduitFileName", creator, kPcFileName, file);
}

int32_t HS_CALL SetConduitTitle(const char *creator, const char *title) {
    return TracedSet("SetConduitTitle", creator, kTitle, title);
}

int32_t HS_CALL SetConduitRemoteFile(const char *creator, const char *db) {
    return TracedSet("SetConduitRemoteFile", creator, kRemoteFile, db);
}

int32_t HS_CALL RemoveConduit(const char *creator) {
    int32_t status = 0;
    bool injected = standin::Injected("RemoveConduit", &status);
    if (!injected) status = Remove(creator);
    // Here 0 is the failure; any other value means removed.
    status = standin::HostileYes(status);
    standin::TraceCall("RemoveConduit", injected, status, {standin::TextArgument(creator)});
    return status;
}

}  // extern "C"
