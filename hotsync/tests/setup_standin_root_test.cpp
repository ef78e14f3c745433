// The on-disk formats of the simulated HotSync directory.
#include <cstring>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "os.h"
#include "setup_standin_fixture.h"

namespace fs = std::filesystem;

namespace {

using StandinRootFiles = StandinScratch;

TEST_F(StandinRootFiles, IniKeepsOrderTrimsAndSkipsComments) {
    std::vector<standin::IniSection> sections;
    size_t line = 0;
    ASSERT_EQ(standin::ParseIni("; comment\n[b]\n  key =  a value ; not a comment \r\n# x\n\n[a]\nk=v\nk=w\n",
                                &sections, &line),
              0);
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].name, "b");
    EXPECT_EQ(*standin::FindIniValue(sections[0], "key"), "a value ; not a comment");
    EXPECT_EQ(sections[1].name, "a");
    EXPECT_EQ(*standin::FindIniValue(sections[1], "k"), "w");
    EXPECT_EQ(standin::FindIniValue(sections[1], "missing"), nullptr);
}

TEST_F(StandinRootFiles, IniRejectsEntriesOutsideASectionAndLinesWithoutEquals) {
    std::vector<standin::IniSection> sections;
    size_t line = 0;
    EXPECT_EQ(standin::ParseIni("key = value\n", &sections, &line), kStandinErrCorrupt);
    EXPECT_EQ(line, 1u);
    EXPECT_EQ(standin::ParseIni("[s]\nok = 1\njust words\n", &sections, &line), kStandinErrCorrupt);
    EXPECT_EQ(line, 3u);
}

TEST_F(StandinRootFiles, UsersRoundTripIncludingVeryLongNames) {
    std::vector<standin::UserEntry> users = {User(std::string(600, 'n'), 7, "Long"),
                                             User("Jane Smith", 4000000000u, "SmithJ")};
    ASSERT_EQ(standin::SaveUsers(scratch_.string(), users), 0);
    std::vector<standin::UserEntry> loaded;
    ASSERT_EQ(standin::LoadUsers(scratch_.string(), &loaded), 0);
    ASSERT_EQ(loaded.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded[i].name, users[i].name);
        EXPECT_EQ(loaded[i].id, users[i].id);
        EXPECT_EQ(loaded[i].directory, users[i].directory);
    }
}

TEST_F(StandinRootFiles, UsersFileWithoutAnIdIsCorrupt) {
    WriteAll(scratch_ / "users.ini", "[u]\nname = A\ndirectory = a\n");
    std::vector<standin::UserEntry> users;
    EXPECT_EQ(standin::LoadUsers(scratch_.string(), &users), kStandinErrCorrupt);
    WriteAll(scratch_ / "users.ini", "[u]\nname = A\nid = 12x\ndirectory = a\n");
    EXPECT_EQ(standin::LoadUsers(scratch_.string(), &users), kStandinErrCorrupt);
    EXPECT_TRUE(users.empty());
}

TEST_F(StandinRootFiles, AddUserCreatesTheDirectoryAndRefusesDuplicates) {
    ASSERT_EQ(standin::AddUser(scratch_.string(), User("A", 1, "a")), 0);
    EXPECT_TRUE(fs::is_directory(scratch_ / "a"));
    EXPECT_EQ(standin::AddUser(scratch_.string(), User("A", 2, "b")), kStandinErrExists);
    EXPECT_EQ(standin::AddUser(scratch_.string(), User("B", 1, "b")), kStandinErrExists);
    EXPECT_EQ(standin::AddUser(scratch_.string(), User("C", 3, "/abs")), kStandinErrBadArgument);
}

TEST_F(StandinRootFiles, ValuesThatSpanLinesAreRefused) {
    EXPECT_EQ(standin::SaveUsers(scratch_.string(), {User("two\nlines", 1, "a")}), kStandinErrBadArgument);
    standin::ConduitEntry conduit;
    conduit.creator = "LnFo";
    conduit.title = "a\rb";
    EXPECT_EQ(standin::SaveConduits(scratch_.string(), {conduit}), kStandinErrBadArgument);
    EXPECT_FALSE(fs::exists(scratch_ / "conduits.ini"));
}

TEST_F(StandinRootFiles, ConduitFieldsNeverSetStayAbsent) {
    standin::ConduitEntry conduit;
    conduit.creator = "LnFo";
    conduit.conduitType = 1;
    conduit.pcDirectory = "";
    ASSERT_EQ(standin::SaveConduits(scratch_.string(), {conduit}), 0);
    std::vector<standin::ConduitEntry> loaded;
    ASSERT_EQ(standin::LoadConduits(scratch_.string(), &loaded), 0);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].pcDirectory, "");
    EXPECT_FALSE(loaded[0].title);
    EXPECT_EQ(loaded[0].conduitType, 1);
}

TEST_F(StandinRootFiles, QueueAppendsLinesAndClears) {
    standin::UserEntry user = User("A", 1, "a");
    ASSERT_EQ(standin::AddUser(scratch_.string(), user), 0);
    ASSERT_EQ(standin::AppendQueue(scratch_.string(), user, "/x/one.prc"), 0);
    ASSERT_EQ(standin::AppendQueue(scratch_.string(), user, "/x/two.pdb"), 0);
    EXPECT_EQ(ReadAll(scratch_ / "a" / "install.queue"), "/x/one.prc\n/x/two.pdb\n");
    ASSERT_EQ(standin::ClearQueue(scratch_.string(), user), 0);
    std::vector<std::string> paths;
    ASSERT_EQ(standin::ReadQueue(scratch_.string(), user, &paths), 0);
    EXPECT_TRUE(paths.empty());
}

TEST_F(StandinRootFiles, AtomicWriteLeavesNoTemporaryFile) {
    ASSERT_EQ(standin::os::WriteAll((scratch_ / "f").string(), "one"), 0);
    ASSERT_EQ(standin::os::WriteAll((scratch_ / "f").string(), "two"), 0);
    EXPECT_EQ(ReadAll(scratch_ / "f"), "two");
    size_t entries = 0;
    for (const auto &entry : fs::directory_iterator(scratch_)) entries += entry.path() != scratch_ / "f";
    EXPECT_EQ(entries, 0u);
    EXPECT_NE(standin::os::WriteAll((scratch_ / "missing" / "f").string(), "x"), 0);
}

// A file whose size is not known beforehand (procfs answers 0) is read on
// to its end.
TEST_F(StandinRootFiles, WholeFileReadsGoOnPastTheSizeTakenFirst) {
    const std::string path = "/proc/self/cmdline";
    std::ifstream in(path, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(expected.size(), 1u);
    std::string text;
    ASSERT_EQ(standin::os::ReadAll(path, &text), 0);
    EXPECT_EQ(text, expected);
}

// Small pieces are gathered and large ones written as they come, around the
// size of the write buffer (64 KiB): the file holds every piece in order.
TEST_F(StandinRootFiles, AReplacementHoldsEveryPieceInOrder) {
    const std::string path = (scratch_ / "pieces").string();
    std::string expected;
    standin::os::Replacement file(path);
    char letter = 'a';
    for (size_t size : {1, 65535, 1, 65536, 0, 3, 65534, 2, 200000, 65536, 7}) {
        const std::string piece(size, letter++);
        file.Write(piece.data(), piece.size());
        expected += piece;
    }
    ASSERT_EQ(file.Commit(), 0);
    EXPECT_EQ(ReadAll(scratch_ / "pieces"), expected);
}

TEST_F(StandinRootFiles, CopyToCallerNeverWritesPastTheSize) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    uint32_t size = 5;
    EXPECT_EQ(standin::CopyToCaller("abcde", buffer, &size), kStandinErrBufferTooSmall);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[5], '#');
    size = 6;
    EXPECT_EQ(standin::CopyToCaller("abcde", buffer, &size), 0);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(buffer[6], '#');
}

TEST_F(StandinRootFiles, RootIsMadeAbsoluteWithoutTrailingSeparator) {
    StandinSetRoot((scratch_.string() + "/").c_str());
    EXPECT_EQ(std::string(StandinRoot()), scratch_.string());
    StandinSetRoot("relative/dir");
    std::string root = StandinRoot();
    EXPECT_EQ(root.front(), '/');
    EXPECT_EQ(root.substr(root.size() - 13), "/relative/dir");
}

// As with every other setting: no text goes back to the environment.
TEST_F(StandinRootFiles, NullOrEmptyRootGoesBackToHotSyncRoot) {
    const std::string fromEnvironment = (scratch_ / "env").string();
    setenv("HOTSYNC_ROOT", fromEnvironment.c_str(), 1);
    for (const char *root : {static_cast<const char *>(nullptr), ""}) {
        SCOPED_TRACE(root ? "empty" : "null");
        StandinSetRoot(scratch_.string().c_str());
        StandinSetRoot(root);
        EXPECT_EQ(std::string(StandinRoot()), fromEnvironment);
    }
    unsetenv("HOTSYNC_ROOT");
    StandinSetRoot(nullptr);
}

}  // namespace
