/*
 * The two copy directions that OpenConduit runs.
 */
#ifndef LENSFOLIO_COPY_H
#define LENSFOLIO_COPY_H

#include <cstdint>

#include "platform.h"

// The status a copy returns when the desktop side failed: Cameras.txt or its
// temporary file could not be opened, written, read, closed or replaced, or
// the desktop directory leaves no room for the file name. Sync-manager
// failures return the sync manager's own status instead.
enum : int32_t { kConduitErrDesktopFile = 0x7001 };

// Each desktop file name is built in a buffer of this size: the desktop
// directory followed directly by the file name.
enum { kDesktopPathBufferSize = 512 };

// Handheld overwrites desktop (sync type 2).
int32_t CopyHandheldToDesktop(const SyncProperties *properties);
// Desktop overwrites handheld (sync type 3).
int32_t CopyDesktopToHandheld(const SyncProperties *properties);

#endif
