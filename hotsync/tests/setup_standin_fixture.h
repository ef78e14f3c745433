// A scratch HotSync root for the stand-in tests of users, registrations,
// install queue, Windows calls, message boxes and the action dialog.
#ifndef LENSFOLIO_SETUP_STANDIN_FIXTURE_H
#define LENSFOLIO_SETUP_STANDIN_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "files.h"
#include "root.h"
#include "standin.h"

class StandinScratch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.empty());
        StandinReset();
        StandinSetRoot(scratch_.c_str());
        StandinSetAnswers("");
        StandinSetTerminalAnswers(0);
    }

    void TearDown() override {
        StandinClearFaults();
        StandinSetAnswers("");
        StandinSetRoot(nullptr);
    }

    standin::UserEntry User(const std::string &name, uint32_t id, const std::string &directory) {
        return standin::UserEntry{name, id, directory};
    }

    ScratchDir scratchDir_{"lensfolio-standin"};
    const std::filesystem::path scratch_ = scratchDir_.Path();
};

#endif  // LENSFOLIO_SETUP_STANDIN_FIXTURE_H
