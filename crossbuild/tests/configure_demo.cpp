// Calls Lenfol.dll's ConfigureConduit once, as a HotSync Manager does when the
// user opens the conduit's settings, and prints what came back:
//   configure_demo.exe SYNCTYPE   ->   "result R kind K type T"
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform.h"

// platform.h rules out <windows.h>; the two loader calls, declared alike.
extern "C" {
void *WIN_CALL LoadLibraryA(const char *path);
void *WIN_CALL GetProcAddress(void *module, const char *name);
}

int main(int argc, char **argv) {
    void *module = LoadLibraryA((std::string(LENFOL_DLL_DIR) + "\\Lenfol.dll").c_str());
    if (module == nullptr) return 2;
    auto configure = reinterpret_cast<ConfigureConduitFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "ConfigureConduit")));
    if (configure == nullptr) return 2;
    SyncPreference preference{};
    preference.syncType = argc > 1 ? std::atoi(argv[1]) : 0;
    preference.preferenceKind = -1;
    const int32_t result = configure(&preference);
    std::printf("result %d kind %d type %d\n", static_cast<int>(result),
                static_cast<int>(preference.preferenceKind), static_cast<int>(preference.syncType));
    return 0;
}
