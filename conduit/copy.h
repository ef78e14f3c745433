/*
 * The two copy directions that OpenConduit runs.
 */
#ifndef LENSFOLIO_COPY_H
#define LENSFOLIO_COPY_H

#include <cstdint>

#include "lenfol.h"
#include "platform.h"

// Each desktop file name is built in a buffer of this size: the desktop
// directory followed directly by the file name.
enum { kDesktopPathBufferSize = 512 };

// Handheld overwrites desktop (sync type 2).
int32_t CopyHandheldToDesktop(const SyncProperties *properties);
// Desktop overwrites handheld (sync type 3).
int32_t CopyDesktopToHandheld(const SyncProperties *properties);

#endif
