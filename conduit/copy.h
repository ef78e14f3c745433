/*
 * The two copy directions that OpenConduit runs.
 */
#ifndef LENSFOLIO_COPY_H
#define LENSFOLIO_COPY_H

#include <cstdint>

#include "platform.h"

// Handheld overwrites desktop (sync type 2).
int32_t CopyHandheldToDesktop(const SyncProperties *properties);
// Desktop overwrites handheld (sync type 3).
int32_t CopyDesktopToHandheld(const SyncProperties *properties);

#endif
