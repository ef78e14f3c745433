// The conduit's boundary with the HotSync Manager: library start-up, the query
// exports, OpenConduit's dispatch and ConfigureConduit.
#include <cstring>

#include "copy.h"
#include "lenfol.h"

const char kConduitName[] = "Lenfol";

namespace {

// Process-wide, so the dialog library is initialised once however many
// application objects come and go.
int32_t g_dialogLibraryUseCount = 0;

// The conduit's one application object: built when the library's static data
// is initialised, destroyed at unload.
struct ConduitApplication {
    ConduitApplication() {
        if (g_dialogLibraryUseCount == 0) InitPdcmn5DLL();
        ++g_dialogLibraryUseCount;
    }
    ~ConduitApplication() { --g_dialogLibraryUseCount; }
};

ConduitApplication theApplication;

const char kDoNothingLine[] = "Lensfolio - sync configured to Do Nothing";

int32_t RunCopy(int32_t syncType, const SyncProperties *properties) {
    switch (syncType) {
    case kSyncTypeHandheldToDesktop:
        return CopyHandheldToDesktop(properties);
    case kSyncTypeDesktopToHandheld:
        return CopyDesktopToHandheld(properties);
    default:
        return 0;
    }
}

int32_t ActionIndexFromSyncType(int32_t syncType) {
    switch (syncType) {
    case kSyncTypeDesktopToHandheld:
        return 1;
    case kSyncTypeHandheldToDesktop:
        return 2;
    default:
        return 3;
    }
}

int32_t SyncTypeFromActionIndex(int32_t actionIndex) {
    switch (actionIndex) {
    case 1:
        return kSyncTypeDesktopToHandheld;
    case 2:
        return kSyncTypeHandheldToDesktop;
    default:
        return kSyncTypeDoNothing;
    }
}

}  // namespace

extern "C" {

HS_EXPORT int32_t HS_CALL GetConduitName(char *name, uint16_t length) {
    if (name == nullptr || length == 0) return 0;
    std::memset(name, 0, length);
    std::strncpy(name, kConduitName, length - 1u);
    return 0;
}

HS_EXPORT uint32_t HS_CALL GetConduitVersion(void) { return kConduitVersion; }

HS_EXPORT int32_t HS_CALL GetConduitInfo(int32_t infoType, void *request, void *out,
                                         uint32_t *outSize) {
    if (out == nullptr) return kInfoErrNoOutput;
    if (outSize == nullptr) return kInfoErrNoOutputSize;
    switch (infoType) {
    case kConduitInfoName: {
        if (request == nullptr) return kInfoErrNoRequest;
        // Only the version and the size are the caller's promise: a request
        // record may end right after them.
        uint32_t version = 0, size = 0;
        std::memcpy(&version, static_cast<const char *>(request), sizeof version);
        std::memcpy(&size, static_cast<const char *>(request) + sizeof version, sizeof size);
        if (version != 1 || size != sizeof(ConduitRequestInfo)) return kInfoErrBadRequest;
        if (*outSize == 0) return 0;
        char *text = static_cast<char *>(out);
        std::strncpy(text, kConduitName, *outSize - 1);
        // Within a short buffer strncpy leaves the name unterminated; the
        // caller gets a C string either way, and nothing past its size.
        if (*outSize - 1 <= std::strlen(kConduitName)) text[*outSize - 1] = '\0';
        return 0;
    }
    case kConduitInfoMfcVersion:
    case kConduitInfoDefaultAction: {
        if (*outSize != sizeof(uint32_t)) return kInfoErrBadOutputSize;
        uint32_t value = infoType == kConduitInfoMfcVersion ? 0x500u : 0u;
        std::memcpy(out, &value, sizeof value);
        return 0;
    }
    default:
        return kInfoErrUnknownType;
    }
}

HS_EXPORT int32_t HS_CALL OpenConduit(ProgressFn, SyncProperties *properties) {
    if (properties == nullptr) return -1;
    const int32_t syncType = properties->syncType;
    if (syncType == kSyncTypeDoNothing) {
        LogAddEntry(kDoNothingLine, kLogActivityDoNothing, 0);
        return 0;
    }
    ConduitHandle handle = 0;
    int32_t status = SyncRegisterConduit(&handle);
    if (status != 0) return status;

    LogAddEntry("", kLogActivityStart, 0);
    status = RunCopy(syncType, properties);
    LogAddEntry(kConduitName, status != 0 ? kLogActivityEndFailure : kLogActivityEndSuccess, 0);
    SyncUnRegisterConduit(handle);
    return status;
}

HS_EXPORT int32_t HS_CALL ConfigureConduit(SyncPreference *preference) {
    if (preference == nullptr) return -1;
    HotSyncActionDlg dialog{};
    const bool constructed = ConstructHotSyncActionDlg(&dialog, nullptr) == 0;
    // Cleared before anything else, so a cancelled dialog leaves "not set".
    preference->preferenceKind = kPreferenceNotSet;
    if (!constructed) return -1;

    dialog.conduitName = kConduitName;
    dialog.actionIndex = ActionIndexFromSyncType(preference->syncType);
    const bool confirmed = RunHotSyncActionDlg(&dialog) == kDialogOk;
    if (confirmed) {
        preference->syncType = SyncTypeFromActionIndex(dialog.actionIndex);
        preference->preferenceKind =
            dialog.makeDefault != 0 ? kPreferencePermanent : kPreferenceThisSyncOnly;
    }
    DestroyHotSyncActionDlg(&dialog);
    return confirmed ? 0 : -1;
}

}  // extern "C"
