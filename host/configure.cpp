// configure: a conduit's settings, as a HotSync Manager opens them; the
// conduit answers with the sync type and whether it is permanent.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "conduit_loader.h"
#include "hostile.h"
#include "sync_run.h"

namespace host {

namespace {

// The type the next HotSync would run with, which the dialog starts from.
int32_t CurrentType(const StoredSyncType &stored, const LoadedConduit &loaded) {
    if (stored.hasOnce) return stored.onceType;
    if (stored.hasDefault) return stored.defaultType;
    return loaded.hasDefaultAction ? loaded.defaultAction : 0;
}

void FillPreference(const UserContext &context, const standin::ConduitEntry &conduit,
                    int32_t type, SyncPreference *preference) {
    std::memset(preference, 0, sizeof *preference);
    preference->version = 1;
    preference->size = sizeof *preference;
    preference->creator = CreatorNumber(conduit.creator);
    preference->userId = context.user.id;
    std::strncpy(preference->userName, context.user.name.c_str(), sizeof preference->userName - 1);
    preference->preferenceKind = kPreferenceNotSet;
    preference->syncType = type;
    // The conduit may read only the sync type, and must set the kind itself.
    if (standin::Hostile()) {
        standin::HostileJunk(preference, offsetof(SyncPreference, syncType));
    }
}

int Store(const UserContext &context, const standin::ConduitEntry &conduit, StoredSyncType stored,
          const SyncPreference &preference, const std::string &label) {
    const char *how = nullptr;
    if (preference.preferenceKind == kPreferencePermanent) {
        stored.hasDefault = true;
        stored.defaultType = preference.syncType;
        stored.hasOnce = false;
        how = "from now on";
    } else if (preference.preferenceKind == kPreferenceThisSyncOnly) {
        stored.hasOnce = true;
        stored.onceType = preference.syncType;
        how = "for the next HotSync only";
    } else {
        std::printf("%s (%s): no choice made; nothing changed\n", ToTerminal(label).c_str(),
                    conduit.creator.c_str());
        return kExitOk;
    }
    std::string error;
    if (SaveStoredSyncType(SyncSettingsPath(context), conduit.creator, stored, &error) != kExitOk) {
        return Error(error);
    }
    std::printf("%s (%s): %s, %s\n", ToTerminal(label).c_str(), conduit.creator.c_str(),
                DescribeSyncType(preference.syncType).c_str(), how);
    return kExitOk;
}

int ConfigureOne(const UserContext &context, const standin::ConduitEntry &conduit) {
    LoadedConduit loaded;
    std::string error;
    if (LoadConduit(conduit, &loaded, &error) != 0) return Error(error);
    QueryConduit(conduit, &context.user, &loaded);
    const std::string label = ConduitLabel(conduit, loaded);
    int status = kExitOk;
    StoredSyncType stored;
    if (!loaded.configureConduit) {
        std::printf("%s (%s): has no settings\n", ToTerminal(label).c_str(), conduit.creator.c_str());
    } else if (LoadStoredSyncType(SyncSettingsPath(context), conduit.creator, &stored, &error) !=
               kExitOk) {
        status = Error(error);
    } else {
        SyncPreference preference;
        FillPreference(context, conduit, CurrentType(stored, loaded), &preference);
        int32_t result = loaded.configureConduit(&preference);
        // Only an answer of 0 means the user confirmed; the kind says how.
        if (result != 0) preference.preferenceKind = kPreferenceNotSet;
        status = Store(context, conduit, stored, preference, label);
    }
    UnloadConduit(&loaded);
    return status;
}

}  // namespace

int RunConfigure(const GlobalOptions &options, const std::string &user, const std::string &creator) {
    UserContext context;
    int status = ResolveUser(options, user, &context);
    if (status != kExitOk) return status;
    std::vector<standin::ConduitEntry> conduits;
    if (standin::LoadConduits(context.root, &conduits) != 0) {
        return Error("cannot read " + context.root + "/conduits.ini");
    }
    if (!creator.empty() && !standin::FindConduit(&conduits, creator)) {
        return Error("no conduit registered for creator \"" + creator + "\" in " + context.root);
    }
    if (conduits.empty()) return Error("no conduits registered in " + context.root);
    for (const standin::ConduitEntry &conduit : conduits) {
        if (!creator.empty() && conduit.creator != creator) continue;
        status = ConfigureOne(context, conduit);
        if (status != kExitOk) return status;
    }
    return kExitOk;
}

}  // namespace host
