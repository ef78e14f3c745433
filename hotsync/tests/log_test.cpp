// The stand-in HotSync log: entries in memory, the one-line-per-entry file,
// and injected faults.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "files.h"
#include "standin.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kInjected = 0x10C;

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("HOTSYNC_LOG");
        StandinReset();
    }
    void TearDown() override {
        unsetenv("HOTSYNC_LOG");
        StandinSetLogFile(nullptr);
        StandinClearLog();
        StandinClearFaults();
    }

    ScratchDir scratch_{"log_test"};
    const std::string dir_ = scratch_.Path();
};

TEST_F(LogTest, KeepsEntriesInOrder) {
    EXPECT_EQ(LogAddEntry("", kLogActivityStart, 0), 0);
    EXPECT_EQ(LogAddEntry("SyncOpenDB failed", kLogActivityError, 0), 0);
    EXPECT_EQ(LogAddFormattedEntry(kLogActivityError, 0, "fopen(%s) failed", "C:\\u\\Cameras.txt"), 0);
    EXPECT_EQ(LogAddEntry("Lensfolio - sync configured to Do Nothing", kLogActivityDoNothing, 0), 0);
    ASSERT_EQ(StandinLogCount(), 4u);
    EXPECT_EQ(StandinLogActivity(0), 19);
    EXPECT_STREQ(StandinLogText(0), "");
    EXPECT_EQ(StandinLogActivity(1), 22);
    EXPECT_STREQ(StandinLogText(1), "SyncOpenDB failed");
    EXPECT_STREQ(StandinLogText(2), "fopen(C:\\u\\Cameras.txt) failed");
    EXPECT_EQ(StandinLogActivity(3), -1);
    EXPECT_EQ(StandinLogText(4), nullptr);
    EXPECT_EQ(StandinLogActivity(4), 0);
    StandinClearLog();
    EXPECT_EQ(StandinLogCount(), 0u);
}

TEST_F(LogTest, FormatsEntriesOfAnyLength) {
    const std::string path(5000, 'p');
    EXPECT_EQ(LogAddFormattedEntry(22, 0, "%s was not there: Synced Stopped (%d)", path.c_str(), -7), 0);
    ASSERT_EQ(StandinLogCount(), 1u);
    EXPECT_EQ(std::string(StandinLogText(0)), path + " was not there: Synced Stopped (-7)");
    EXPECT_EQ(LogAddFormattedEntry(22, 0, "%s", ""), 0);
    EXPECT_STREQ(StandinLogText(1), "");
}

TEST_F(LogTest, RefusesMissingText) {
    const char *none = nullptr;
    EXPECT_EQ(LogAddEntry(none, 22, 0), kStandinErrBadArgument);
    EXPECT_EQ(LogAddFormattedEntry(22, 0, none, 1), kStandinErrBadArgument);
    EXPECT_EQ(StandinLogCount(), 0u);
}

TEST_F(LogTest, WritesOneEscapedLinePerEntry) {
    const std::string path = dir_ + "/HotSync.log";
    WriteAll(path, "earlier\n");
    StandinSetLogFile(path.c_str());
    EXPECT_EQ(LogAddEntry("", 19, 0), 0);
    EXPECT_EQ(LogAddEntry("tab\there", 22, 0), 0);
    EXPECT_EQ(LogAddFormattedEntry(22, 0, "two%clines", '\n'), 0);
    EXPECT_EQ(LogAddEntry("C:\\dir\\n", 20, 0), 0);
    EXPECT_EQ(ReadAll(path),
              "earlier\n19\t\n22\ttab\\there\n22\ttwo\\nlines\n20\tC:\\\\dir\\\\n\n");
    EXPECT_STREQ(StandinLogText(1), "tab\there");  // memory keeps the text as given
}

TEST_F(LogTest, TheFileComesFromTheEnvironmentUnlessChosen) {
    const std::string fromEnv = dir_ + "/env.log";
    const std::string chosen = dir_ + "/chosen.log";
    setenv("HOTSYNC_LOG", fromEnv.c_str(), 1);
    StandinSetLogFile(nullptr);
    EXPECT_EQ(LogAddEntry("to env", 22, 0), 0);
    StandinSetLogFile(chosen.c_str());
    EXPECT_EQ(LogAddEntry("to chosen", 22, 0), 0);
    EXPECT_EQ(ReadAll(fromEnv), "22\tto env\n");
    EXPECT_EQ(ReadAll(chosen), "22\tto chosen\n");
    unsetenv("HOTSYNC_LOG");
    StandinSetLogFile("");
    EXPECT_EQ(LogAddEntry("memory only", 22, 0), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
    EXPECT_EQ(StandinLogCount(), 3u);
}

TEST_F(LogTest, AnUnwritableFileStillKeepsTheEntry) {
    StandinSetLogFile((dir_ + "/missing/HotSync.log").c_str());
    EXPECT_EQ(LogAddEntry("kept", 22, 0), kStandinErrIo);
    ASSERT_EQ(StandinLogCount(), 1u);
    EXPECT_STREQ(StandinLogText(0), "kept");
}

struct LogOp {
    const char *name;
    std::function<int32_t(const char *)> add;
};

void PrintTo(const LogOp &op, std::ostream *os) { *os << op.name; }

class LogFaultTest : public LogTest, public ::testing::WithParamInterface<LogOp> {};

TEST_P(LogFaultTest, AFiredFaultDropsTheEntry) {
    const std::string path = dir_ + "/HotSync.log";
    StandinSetLogFile(path.c_str());
    StandinFailCall(GetParam().name, 1, kInjected, 0);
    EXPECT_EQ(GetParam().add("first"), kInjected);
    EXPECT_EQ(GetParam().add("second"), 0);
    StandinFailCall(GetParam().name, 3, kInjected, 1);
    EXPECT_EQ(GetParam().add("third"), kInjected);
    EXPECT_EQ(GetParam().add("fourth"), kInjected);
    ASSERT_EQ(StandinLogCount(), 1u);
    EXPECT_STREQ(StandinLogText(0), "second");
    EXPECT_EQ(ReadAll(path), "22\tsecond\n");
    EXPECT_EQ(StandinCallCount(GetParam().name), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, LogFaultTest,
    ::testing::Values(LogOp{"LogAddEntry", [](const char *t) { return LogAddEntry(t, 22, 0); }},
                      LogOp{"LogAddFormattedEntry",
                            [](const char *t) { return LogAddFormattedEntry(22, 0, "%s", t); }}));

}  // namespace
