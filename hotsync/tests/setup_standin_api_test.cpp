// User data, conduit manager, install aide, HotSync API and Windows calls of
// the stand-in, as the setup programs use them; and what every operation
// shares: the trace and StandinReset.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "setup_standin_fixture.h"
#include "trace.h"

namespace fs = std::filesystem;

namespace {

class StandinUserData : public StandinScratch {
protected:
    void SetUp() override {
        StandinScratch::SetUp();
        ASSERT_EQ(standin::AddUser(scratch_.string(), User("Ann Archer", 30, "Ann")), 0);
        ASSERT_EQ(standin::AddUser(scratch_.string(), User("Bo", 10, "BoDir")), 0);
    }
};

TEST_F(StandinUserData, UsersComeInFileOrder) {
    EXPECT_EQ(GetHotSyncUserCount(), 2);
    uint32_t id = 0;
    ASSERT_EQ(GetHotSyncUserId(0, &id), 0);
    EXPECT_EQ(id, 30u);
    ASSERT_EQ(GetHotSyncUserId(1, &id), 0);
    EXPECT_EQ(id, 10u);
    EXPECT_NE(GetHotSyncUserId(2, &id), 0);
    EXPECT_NE(GetHotSyncUserId(-1, &id), 0);
    EXPECT_EQ(id, 10u);
}

TEST_F(StandinUserData, NameAndDirectoryRespectTheSize) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    uint32_t size = 11;  // "Ann Archer" and its NUL
    ASSERT_EQ(GetHotSyncUserName(30, buffer, &size), 0);
    EXPECT_STREQ(buffer, "Ann Archer");
    EXPECT_EQ(buffer[11], '#');
    size = 10;
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetHotSyncUserName(30, buffer, &size), kStandinErrBufferTooSmall);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[10], '#');
    size = sizeof buffer;
    ASSERT_EQ(GetHotSyncUserDirectory(10, buffer, &size), 0);
    EXPECT_STREQ(buffer, "BoDir");
    size = sizeof buffer;
    EXPECT_NE(GetHotSyncUserName(99, buffer, &size), 0);
}

TEST_F(StandinUserData, BrokenUsersFileReadsAsNoUsers) {
    WriteAll(scratch_ / "users.ini", "not an ini file\n");
    EXPECT_EQ(GetHotSyncUserCount(), 0);
}

TEST_F(StandinUserData, InjectedFaultLeavesTheBufferAlone) {
    StandinFailCall("GetHotSyncUserName", 1, 0x4011, 0);
    char buffer[16] = "untouched";
    uint32_t size = sizeof buffer;
    EXPECT_EQ(GetHotSyncUserName(30, buffer, &size), 0x4011);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(GetHotSyncUserName(30, buffer, &size), 0);
}

using StandinConduitManager = StandinScratch;

TEST_F(StandinConduitManager, HotSyncDirectoryIsTheRoot) {
    char buffer[1024];
    uint32_t size = sizeof buffer;
    ASSERT_EQ(GetHotSyncDirectory(buffer, &size), 0);
    EXPECT_EQ(std::string(buffer), scratch_.string());
    size = static_cast<uint32_t>(scratch_.string().size());
    EXPECT_EQ(GetHotSyncDirectory(buffer, &size), kStandinErrBufferTooSmall);
    StandinSetRoot((scratch_ / "missing").c_str());
    size = sizeof buffer;
    EXPECT_NE(GetHotSyncDirectory(buffer, &size), 0);
}

TEST_F(StandinConduitManager, InstallSetAndRemove) {
    EXPECT_NE(SetConduitTitle("LnFo", "Lensfolio"), 0);
    ASSERT_EQ(InstallConduit("LnFo", 1), 0);
    EXPECT_EQ(InstallConduit("LnFo", 1), kCondMgrAlreadyInstalled);
    EXPECT_EQ(SetConduitCreatorName("LnFo", "C:\\x\\Lenfol.dll"), 0);
    EXPECT_EQ(SetConduitTitle("LnFo", "Lensfolio"), 0);
    std::vector<standin::ConduitEntry> conduits;
    ASSERT_EQ(standin::LoadConduits(scratch_.string(), &conduits), 0);
    ASSERT_EQ(conduits.size(), 1u);
    EXPECT_EQ(conduits[0].creatorName, "C:\\x\\Lenfol.dll");
    EXPECT_EQ(conduits[0].title, "Lensfolio");
    EXPECT_FALSE(conduits[0].pcFileName);

    EXPECT_NE(RemoveConduit("LnFo"), 0);
    EXPECT_EQ(RemoveConduit("LnFo"), 0);
    ASSERT_EQ(standin::LoadConduits(scratch_.string(), &conduits), 0);
    EXPECT_TRUE(conduits.empty());
}

TEST_F(StandinConduitManager, CreatorMustBeFourCharacters) {
    EXPECT_NE(InstallConduit("LnF", 1), 0);
    EXPECT_NE(InstallConduit("LnFoo", 1), 0);
    EXPECT_NE(InstallConduit(nullptr, 1), 0);
    EXPECT_FALSE(fs::exists(scratch_ / "conduits.ini"));
}

using StandinInstallAide = StandinScratch;

TEST_F(StandinInstallAide, QueuesForKnownUsersInPosixForm) {
    standin::UserEntry user = User("Ann", 1, "Ann");
    ASSERT_EQ(standin::AddUser(scratch_.string(), user), 0);
    EXPECT_EQ(QueueHandheldInstall("Ann", "/tmp\\cwd\\Lenfol.prc"), 0);
    EXPECT_NE(QueueHandheldInstall("Nobody", "/tmp/x.prc"), 0);
    EXPECT_NE(QueueHandheldInstall("", "/tmp/x.prc"), 0);
    std::vector<std::string> paths;
    ASSERT_EQ(standin::ReadQueue(scratch_.string(), user, &paths), 0);
    EXPECT_EQ(paths, std::vector<std::string>{"/tmp/cwd/Lenfol.prc"});
}

using StandinHotSyncApi = StandinScratch;

TEST_F(StandinHotSyncApi, NotificationsAreTraced) {
    ScopedTrace trace(scratch_ / "trace");
    EXPECT_EQ(NotifyHotSyncManager(2, 0), 0);
    const std::vector<PlatformCall> notifies = trace.Calls("NotifyHotSyncManager");
    ASSERT_EQ(notifies.size(), 1u);
    EXPECT_EQ(notifies[0].arguments, (std::vector<std::string>{"2", "0"}));
}

using StandinWin32 = StandinScratch;

TEST_F(StandinWin32, BackslashesNameDirectories) {
    std::string base = scratch_.string();
    EXPECT_EQ(CreateDirectoryA((base + "\\Lenfol").c_str(), nullptr), 1);
    EXPECT_EQ(CreateDirectoryA((base + "\\Lenfol\\Conduit").c_str(), nullptr), 1);
    EXPECT_TRUE(fs::is_directory(scratch_ / "Lenfol" / "Conduit"));
    EXPECT_EQ(CreateDirectoryA((base + "\\Lenfol").c_str(), nullptr), 0);
    WriteAll(scratch_ / "Lenfol" / "f.txt", "x");
    EXPECT_EQ(RemoveDirectoryA((base + "\\Lenfol\\").c_str()), 0);
    EXPECT_EQ(DeleteFileA((base + "\\Lenfol\\f.txt").c_str()), 1);
    EXPECT_EQ(DeleteFileA((base + "\\Lenfol\\f.txt").c_str()), 0);
    EXPECT_EQ(RemoveDirectoryA((base + "\\Lenfol\\Conduit\\").c_str()), 1);
    EXPECT_EQ(RemoveDirectoryA((base + "\\Lenfol\\").c_str()), 1);
    EXPECT_FALSE(fs::exists(scratch_ / "Lenfol"));
}

TEST_F(StandinWin32, CopyReplacesUnlessAskedNotTo) {
    std::string base = scratch_.string();
    std::string big(200000, 'z');
    WriteAll(scratch_ / "src", big);
    WriteAll(scratch_ / "dst", "old");
    EXPECT_EQ(CopyFileA((base + "\\src").c_str(), (base + "\\dst").c_str(), 1), 0);
    EXPECT_EQ(ReadAll(scratch_ / "dst"), "old");
    EXPECT_EQ(CopyFileA((base + "\\src").c_str(), (base + "\\dst").c_str(), 0), 1);
    EXPECT_EQ(ReadAll(scratch_ / "dst"), big);
    EXPECT_EQ(CopyFileA((base + "\\none").c_str(), (base + "\\dst2").c_str(), 0), 0);
    EXPECT_FALSE(fs::exists(scratch_ / "dst2"));
    EXPECT_EQ(CopyFileA(base.c_str(), (base + "\\dst3").c_str(), 0), 0);
}

TEST_F(StandinWin32, CurrentDirectoryReportsTheSizeNeeded) {
    std::string cwd = fs::current_path().string();
    std::vector<char> buffer(cwd.size() + 1, '#');
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<uint32_t>(cwd.size()), buffer.data()), cwd.size() + 1);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<uint32_t>(buffer.size()), buffer.data()), cwd.size());
    EXPECT_EQ(std::string(buffer.data()), cwd);
}

TEST_F(StandinWin32, SleepIsTraced) {
    ScopedTrace trace(scratch_ / "trace");
    Sleep(5000);
    Sleep(250);
    const std::vector<PlatformCall> sleeps = trace.Calls("Sleep");
    ASSERT_EQ(sleeps.size(), 2u);
    EXPECT_EQ(sleeps[1].arguments, std::vector<std::string>{"250"});
    EXPECT_EQ(GetFocus(), nullptr);
}

// ---- What every operation shares ----------------------------------------------

using StandinControl = StandinScratch;

// Sync-manager and log calls go through the same wrapper as the others: each
// is traced with whether a fault fired and what the caller got.
TEST_F(StandinControl, TheTraceShowsEveryCallWithItsOutcome) {
    const std::string trace = (scratch_ / "trace").string();
    setenv("HOTSYNC_TRACE", trace.c_str(), 1);
    StandinFailCall("LogAddEntry", 1, 0x7E57, 0);
    ConduitHandle conduit = 0;
    ASSERT_EQ(SyncRegisterConduit(&conduit), 0);
    LogAddEntry("a\rb", 3, 0);
    EXPECT_EQ(SyncCloseDB(9), kStandinErrBadArgument);
    unsetenv("HOTSYNC_TRACE");
    EXPECT_EQ(ReadAll(trace), "SyncRegisterConduit\t0\t0\t" + std::to_string(conduit) +
                              "\nLogAddEntry\t1\t" + std::to_string(0x7E57) +
                              "\ta\\rb\t3\nSyncCloseDB\t0\t" +
                              std::to_string(kStandinErrBadArgument) + "\t9\n");
    SyncUnRegisterConduit(conduit);
}

// A fixture's StandinReset must leave nothing of the test before it, while
// the hostile runs stay hostile with the seed of their environment.
TEST_F(StandinControl, ResetForgetsEverythingButTheEnvironment) {
    const char *env = getenv("HOTSYNC_HOSTILE");
    const std::string hostileBefore = env ? env : "";
    StandinFailCall("SyncOpenDB", 1, 0x7E57, 1);
    ConduitHandle conduit = 0;
    ASSERT_EQ(SyncRegisterConduit(&conduit), 0);
    LogAddEntry("entry", 1, 0);
    StandinSetAnswers("no,yes");
    EXPECT_EQ(MessageBoxA(nullptr, "text", "title", 0x104), kIdNo);
    StandinSetHostile(1, 9);
    setenv("HOTSYNC_HOSTILE", "5", 1);
    StandinReset();
    EXPECT_EQ(StandinHostile(), 1);
    EXPECT_EQ(StandinHostileSeed(), 5u);
    unsetenv("HOTSYNC_HOSTILE");
    StandinReset();
    if (!hostileBefore.empty()) setenv("HOTSYNC_HOSTILE", hostileBefore.c_str(), 1);
    EXPECT_EQ(StandinHostile(), 0);
    EXPECT_EQ(StandinCallCount("SyncOpenDB"), 0);
    EXPECT_EQ(StandinInjectedCount(), 0);
    EXPECT_EQ(StandinLogCount(), 0u);
    uint8_t db = 0;
    EXPECT_EQ(SyncOpenDB("Any", 0, &db, kOpenRead), kStandinErrNotRegistered);
    // The rest of the answers list is gone: the box answers its default.
    StandinSetTerminalAnswers(0);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "title", 0x104), kIdNo);
    EXPECT_NE(std::string(StandinRoot()), scratch_.string()) << "the root stayed the test's";
}

}  // namespace
