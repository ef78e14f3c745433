// A scratch handheld folder for the sync-manager tests: the stand-in, reset
// (StandinReset), points at it with one conduit registered; a handle left
// open fails the test and is closed.
#ifndef LENSFOLIO_TESTSUPPORT_HANDHELD_H
#define LENSFOLIO_TESTSUPPORT_HANDHELD_H

#include <gtest/gtest.h>

#include <string>

#include "files.h"
#include "platform.h"

class HandheldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The file of database `name`.
    std::string Path(const std::string &name) const { return dir_ + "/" + name + ".pdb"; }

    ScratchDir scratch_{"handheld-test"};
    const std::string dir_ = scratch_.Path();
    ConduitHandle conduit_ = 0;
};

#endif  // LENSFOLIO_TESTSUPPORT_HANDHELD_H
