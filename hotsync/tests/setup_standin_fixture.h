// A scratch HotSync root for the stand-in tests of users, registrations,
// install queue, Windows calls, message boxes and the action dialog.
#ifndef LENSFOLIO_SETUP_STANDIN_FIXTURE_H
#define LENSFOLIO_SETUP_STANDIN_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "root.h"
#include "standin.h"
#include "standin_extra.h"

class StandinScratch : public ::testing::Test {
protected:
    void SetUp() override {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lensfolio-standin-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
        StandinSetRoot(scratch_.c_str());
        StandinClearFaults();
        StandinSetAnswers("");
        StandinSetTerminalAnswers(0);
        StandinClearBoxes();
        StandinClearDialogs();
        StandinClearNotifies();
    }

    void TearDown() override {
        StandinClearFaults();
        StandinSetAnswers("");
        StandinSetRoot(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }

    standin::UserEntry User(const std::string &name, uint32_t id, const std::string &directory) {
        standin::UserEntry user;
        user.name = name;
        user.id = id;
        user.directory = directory;
        return user;
    }

    static std::string Slurp(const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void Spit(const std::filesystem::path &path, const std::string &text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    std::filesystem::path scratch_;
};

#endif  // LENSFOLIO_SETUP_STANDIN_FIXTURE_H
