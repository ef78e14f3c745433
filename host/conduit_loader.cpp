// Loading a registered conduit and asking it about itself.
#include "conduit_loader.h"

#include <cstring>
#include <memory>

#include "hostile.h"
#include "os.h"
#include "host_os.h"

namespace host {

namespace {

enum { kNameBufferSize = 256 };

template <typename Function>
Function Export(void *library, const char *name) {
    return reinterpret_cast<Function>(os::LibraryExport(library, name));
}

std::string TextOf(const char *buffer, size_t size) {
    return std::string(buffer, strnlen(buffer, size));
}

}  // namespace

uint32_t CreatorNumber(const std::string &creator) {
    uint32_t number = 0;
    for (size_t i = 0; i < 4; ++i) {
        uint8_t byte = i < creator.size() ? static_cast<uint8_t>(creator[i]) : 0;
        number = (number << 8) | byte;
    }
    return number;
}

int LoadConduit(const standin::ConduitEntry &conduit, LoadedConduit *loaded, std::string *error) {
    *loaded = LoadedConduit();
    if (conduit.creatorName.value_or("").empty()) {
        *error = "the registration of " + conduit.creator + " names no library (creatorName)";
        return 1;
    }
    loaded->libraryPath = standin::os::NativePath(*conduit.creatorName);
    std::string reason;
    loaded->library = os::OpenLibrary(loaded->libraryPath, &reason);
    if (!loaded->library) {
        *error = "cannot load the conduit " + loaded->libraryPath + ": " + reason;
        return 1;
    }
    void *library = loaded->library;
    loaded->openConduit = Export<OpenConduitFn>(library, "OpenConduit");
    loaded->configureConduit = Export<ConfigureConduitFn>(library, "ConfigureConduit");
    loaded->getConduitInfo = Export<GetConduitInfoFn>(library, "GetConduitInfo");
    loaded->getConduitName = Export<GetConduitNameFn>(library, "GetConduitName");
    loaded->getConduitVersion = Export<GetConduitVersionFn>(library, "GetConduitVersion");
    if (!loaded->openConduit) {
        *error = loaded->libraryPath + " does not export OpenConduit: not a conduit";
        UnloadConduit(loaded);
        return 1;
    }
    return 0;
}

void QueryConduit(const standin::ConduitEntry &conduit, const standin::UserEntry *user,
                  LoadedConduit *loaded) {
    char buffer[kNameBufferSize];
    if (loaded->getConduitName) {
        std::memset(buffer, 0, sizeof buffer);
        if (loaded->getConduitName(buffer, sizeof buffer) == 0) {
            loaded->name = TextOf(buffer, sizeof buffer);
        }
    }
    if (loaded->getConduitVersion) {
        loaded->version = loaded->getConduitVersion();
        loaded->hasVersion = true;
    }
    if (!loaded->getConduitInfo) return;
    ConduitRequestInfo request;
    std::memset(&request, 0, sizeof request);
    request.version = 1;
    request.size = sizeof request;
    request.creator = CreatorNumber(conduit.creator);
    if (user) {
        request.userId = user->id;
        std::strncpy(request.userName, user->name.c_str(), sizeof request.userName - 1);
    }
    // Only the version and the size are the conduit's to read: hostile mode
    // hands it a block of just those 8 bytes.
    std::unique_ptr<uint32_t[]> shortRequest(new uint32_t[2]{request.version, request.size});
    void *asked = standin::Hostile() ? static_cast<void *>(shortRequest.get()) : &request;
    std::memset(buffer, 0, sizeof buffer);
    uint32_t size = sizeof buffer;
    if (loaded->getConduitInfo(kConduitInfoName, asked, buffer, &size) == 0) {
        loaded->infoName = TextOf(buffer, sizeof buffer);
    }
    int32_t action = 0;
    size = sizeof action;
    if (loaded->getConduitInfo(kConduitInfoDefaultAction, nullptr, &action, &size) == 0) {
        loaded->defaultAction = action;
        loaded->hasDefaultAction = true;
    }
}

void UnloadConduit(LoadedConduit *loaded) {
    if (loaded->library) os::CloseLibrary(loaded->library);
    *loaded = LoadedConduit();
}

std::string ConduitLabel(const standin::ConduitEntry &conduit, const LoadedConduit &loaded) {
    if (!loaded.infoName.empty()) return loaded.infoName;
    if (!loaded.name.empty()) return loaded.name;
    if (!conduit.title.value_or("").empty()) return *conduit.title;
    return conduit.creator;
}

}  // namespace host
