/*
 * The five entry points a HotSync Manager calls, exported by name.
 */
#ifndef LENSFOLIO_LENFOL_H
#define LENSFOLIO_LENFOL_H

#include <cstdint>

#include "platform.h"

extern const char kConduitName[];  // "Lenfol"
enum : uint32_t { kConduitVersion = 0x101 };

// What OpenConduit returns when the desktop side failed: Cameras.txt or its
// temporary file could not be opened, written, read, closed or replaced, or
// the desktop directory leaves no room for the file name. Sync-manager
// failures pass through as the sync manager's own status instead.
enum : int32_t { kConduitErrDesktopFile = 0x7001 };

// GetConduitInfo results.
enum : int32_t {
    kInfoErrUnknownType = 0x1070,
    kInfoErrNoOutput = 0x1071,
    kInfoErrBadOutputSize = 0x1073,
    kInfoErrNoRequest = 0x1074,
    kInfoErrBadRequest = 0x1075,
    kInfoErrNoOutputSize = 0x1077
};

extern "C" {
HS_EXPORT int32_t HS_CALL OpenConduit(ProgressFn progress, SyncProperties *properties);
HS_EXPORT int32_t HS_CALL ConfigureConduit(SyncPreference *preference);
HS_EXPORT int32_t HS_CALL GetConduitInfo(int32_t infoType, void *request, void *out,
                                         uint32_t *outSize);
HS_EXPORT int32_t HS_CALL GetConduitName(char *name, uint16_t length);
HS_EXPORT uint32_t HS_CALL GetConduitVersion(void);
}

#endif
