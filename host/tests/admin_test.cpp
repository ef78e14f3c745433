// init, users, conduits, the command line's errors and help, the installer
// followed by a HotSync, and the progress line on a terminal.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "host_fixture.h"

namespace fs = std::filesystem;

namespace {

class HotsyncInit : public HostTest {};

TEST_F(HotsyncInit, AddsUsersOnceAndLeavesThemOnRerun) {
    ProcessResult first = Hotsync({"init", "--user", "Ada Lovelace", "--user", "Charles Babbage"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    std::vector<standin::UserEntry> users;
    ASSERT_EQ(standin::LoadUsers(root_, &users), 0);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_NE(users[0].id, users[1].id);
    EXPECT_NE(users[0].directory, users[1].directory);
    for (const auto &user : users) EXPECT_TRUE(fs::is_directory(root_ + "/" + user.directory + "/handheld"));

    const auto before = Snapshot();
    ProcessResult again = Hotsync({"init", "--user", "Charles Babbage"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("\"Charles Babbage\" exists; unchanged"), std::string::npos);
    EXPECT_EQ(Snapshot(), before);

    ProcessResult listed = Hotsync({"users"});
    EXPECT_NE(listed.out.find("Ada Lovelace"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find(root_ + "/" + users[1].directory), std::string::npos) << listed.out;
}

TEST_F(HotsyncInit, SameLettersGetTheirOwnDirectory) {
    ASSERT_EQ(Hotsync({"init", "--user", "Ada Lovelace", "--user", "Ada-Lovelace"}).exitCode, 0);
    std::vector<standin::UserEntry> users;
    ASSERT_EQ(standin::LoadUsers(root_, &users), 0);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_NE(users[0].directory, users[1].directory);
}

class HotsyncBadUserName : public HostTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(HotsyncBadUserName, IsRefusedByName) {
    ProcessResult r = Hotsync({"init", "--user", GetParam()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(std::string("user name \"") + GetParam() + "\""), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(root_ + "/users.ini"));
}

INSTANTIATE_TEST_SUITE_P(Names, HotsyncBadUserName, ::testing::Values("", " Ada", "Ada\tL"));

class HotsyncCommandLine : public HostTest {};

TEST_F(HotsyncCommandLine, UserChoiceErrorsNameTheUsers) {
    ProcessResult none = Hotsync({"sync"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("no HotSync users in " + root_), std::string::npos) << none.err;

    ASSERT_EQ(Hotsync({"init", "--user", "Ada", "--user", "Bob"}).exitCode, 0);
    ProcessResult two = Hotsync({"log"});
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_NE(two.err.find("choose one with --user (\"Ada\", \"Bob\")"), std::string::npos) << two.err;

    ProcessResult unknown = Hotsync({"sync", "--user", "Carol"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("no user named \"Carol\""), std::string::npos) << unknown.err;
}

TEST_F(HotsyncCommandLine, BadArgumentsExitWithTwo) {
    EXPECT_EQ(Hotsync({}).exitCode, 2);
    EXPECT_EQ(Hotsync({"frobnicate"}).exitCode, 2);
    ProcessResult type = Hotsync({"sync", "--type", "three"});
    EXPECT_EQ(type.exitCode, 2);
    EXPECT_NE(type.err.find("--type"), std::string::npos) << type.err;
    EXPECT_EQ(Hotsync({"show"}).exitCode, 2);
}

TEST_F(HotsyncCommandLine, RootOptionMayFollowTheVerb) {
    const std::string other = scratch_ + "/other";
    ProcessResult r = Hotsync({"init", "--user", "Ada", "--root", other});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(other + "/users.ini"));
    EXPECT_FALSE(fs::exists(root_));
}

class HotsyncHelp : public HostTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(HotsyncHelp, EveryVerbHasHelp) {
    ProcessResult r = Hotsync({GetParam(), "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(GetParam()), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Verbs, HotsyncHelp,
                         ::testing::Values("init", "users", "conduits", "sync", "configure", "show",
                                           "log", "check"));

class HotsyncConduits : public HostTest {};

TEST_F(HotsyncConduits, ListsTheRegistrationAndWhatTheLibraryAnswers) {
    InitUser();
    RegisterConduit();
    ProcessResult r = Hotsync({"conduits"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("LnFo"), std::string::npos);
    EXPECT_NE(r.out.find("\"Lenfol\", version 0x101"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("handheld DB   LenfolDB"), std::string::npos) << r.out;

    standin::ConduitEntry broken = LenfolRegistration(scratch_ + "/missing.dll");
    broken.creator = "Xmpl";
    ASSERT_EQ(standin::SaveConduits(root_, {broken}), 0);
    ProcessResult missing = Hotsync({"conduits"});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_NE(missing.out.find("cannot load the conduit " + scratch_ + "/missing.dll"),
              std::string::npos)
        << missing.out;
}

// The installer registers the conduit and queues Lenfol.prc; the next
// HotSync installs it and runs the registered copy of the conduit.
class HotsyncWithInstaller : public HostTest {};

TEST_F(HotsyncWithInstaller, InstallSyncBothWaysThenUninstall) {
    InitUser();
    const std::string bin = fs::path(HOTSYNC_BIN).parent_path().string();
    ProcessResult installed =
        RunProcess({bin + "/installer"},
                   {{"HOTSYNC_ROOT", root_}, {"HOTSYNC_ANSWERS", "yes,ok"}},
                   bin);
    ASSERT_EQ(installed.exitCode, 0) << installed.err;
    ASSERT_TRUE(fs::exists(UserDir() + "/Lenfol/Conduit/Lenfol.dll"));

    WriteCameras({Camera("Nikon F"), Camera("Leica M3", "Y", "1")});
    ProcessResult sync = Hotsync({"sync", "--type", "3"});
    ASSERT_EQ(sync.exitCode, 0) << sync.out << sync.err;
    EXPECT_EQ(ReadAll(UserDir() + "/handheld/Lenfol.prc"), ReadAll(LENFOL_PRC));
    EXPECT_EQ(LoadHandheld().records.size(), 2u);
    const std::string desktop = ReadAll(CamerasPath());
    ASSERT_EQ(Hotsync({"sync", "--type", "2"}).exitCode, 0);
    EXPECT_EQ(ReadAll(CamerasPath()), desktop);

    // The uninstaller takes the conduit and the desktop files out again and
    // leaves the handheld as it is.
    const std::string handheld = ReadAll(UserDir() + "/handheld/LenfolDB.pdb");
    ProcessResult removed =
        RunProcess({bin + "/uninstaller"},
                   {{"HOTSYNC_ROOT", root_}, {"HOTSYNC_ANSWERS", "yes,ok"}},
                   bin);
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_FALSE(fs::exists(UserDir() + "/Lenfol")) << "the application directory stayed";
    std::vector<standin::ConduitEntry> conduits;
    ASSERT_EQ(standin::LoadConduits(root_, &conduits), 0);
    EXPECT_TRUE(conduits.empty());
    EXPECT_EQ(ReadAll(UserDir() + "/handheld/LenfolDB.pdb"), handheld);
    ProcessResult idle = Hotsync({"sync", "--type", "2"});
    EXPECT_EQ(idle.exitCode, 0) << idle.out << idle.err;
    EXPECT_FALSE(fs::exists(CamerasPath()));
}

// ---- The progress line

ProcessResult RunOnTerminal(const std::vector<std::string> &argv, const Environment &env) {
    ProcessResult result;
    std::vector<std::string> args = argv;
    std::vector<char *> argp;
    for (std::string &a : args) argp.push_back(&a[0]);
    argp.push_back(nullptr);
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return result;
    if (pid == 0) {
        for (const auto &pair : env) setenv(pair.first.c_str(), pair.second.c_str(), 1);
        execv(argp[0], argp.data());
        _exit(127);
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(master, buffer, sizeof buffer)) > 0) result.out.append(buffer, size_t(n));
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class HotsyncProgress : public HostTest {};

TEST_F(HotsyncProgress, ShowsOnATerminal) {
    InitUser();
    RegisterConduit();
    std::vector<std::vector<std::string>> cameras;
    for (int i = 0; i < 40; ++i) cameras.push_back(Camera("Camera " + std::to_string(i)));
    WriteCameras(cameras);
    Environment env{{"HOTSYNC_ROOT", root_}, {"LC_ALL", "C.UTF-8"}};
    ProcessResult write = RunOnTerminal({HOTSYNC_BIN, "sync", "--type", "3"}, env);
    ASSERT_EQ(write.exitCode, 0) << write.out;
    EXPECT_NE(write.out.find("\rLenfol: write LenfolDB, record "), std::string::npos) << write.out;
    ProcessResult read = RunOnTerminal({HOTSYNC_BIN, "sync", "--type", "2"}, env);
    ASSERT_EQ(read.exitCode, 0) << read.out;
    EXPECT_NE(read.out.find("read LenfolDB, record 40 of 40"), std::string::npos) << read.out;
}

// ---- The shipped samples

TEST(HotsyncSamples, CamerasTxtCoversWhatTheDemoShows) {
    size_t lines = 0, secret = 0, deleted = 0, longNote = 0, eightBit = 0;
    std::set<std::string> categories;
    for (const std::string &line : Lines(ReadAll(SAMPLES_DIR "/Cameras.txt"))) {
        ++lines;
        const std::vector<std::string> columns = Split(line, '\t');
        ASSERT_EQ(columns.size(), 15u) << "line " << lines;
        secret += columns[11] == "Y";
        deleted += columns[14] == "Y";
        longNote += columns[5].size() > 500;
        categories.insert(columns[12]);
        for (unsigned char c : line) eightBit += c >= 0x80;
    }
    EXPECT_GE(lines, 20u);
    EXPECT_LE(lines, 40u);
    EXPECT_GE(secret, 2u);
    EXPECT_EQ(deleted, 1u);
    EXPECT_GE(longNote, 1u);
    EXPECT_GE(categories.size(), 4u);
    EXPECT_GT(eightBit, 0u);
}

TEST(HotsyncSamples, LenfolDbReadsWithTheReferenceReader) {
    ProcessResult r = RunProcess({"/usr/bin/perl", PDB_DUMP_SCRIPT, SAMPLES_DIR "/LenfolDB.pdb"}, {});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("name LenfolDB\ncreator LnFo\ntype Item\n"), std::string::npos) << r.out;
    PdbDatabase db;
    ASSERT_EQ(PdbLoad(SAMPLES_DIR "/LenfolDB.pdb", &db), 0);
    EXPECT_NE(r.out.find("records " + std::to_string(db.records.size()) + "\n"), std::string::npos);
    EXPECT_GE(db.records.size(), 20u);
}

}  // namespace
