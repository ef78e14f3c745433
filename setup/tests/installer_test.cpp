// The installer, run as a program against the stand-in HotSync desktop.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setup_harness.h"

namespace fs = std::filesystem;

namespace {

const char kPromptTitle[] = "Lensfolio: Installer";
const uint32_t kPromptStyle = 291;
const char kFullSuccess[] =
    "Conduit has been successfully installed.  Lensfolio will be installed on next HotSync.";
const char kShortSuccess[] = "Lensfolio will be installed on next HotSync.";
const char kLibraryPiece[] = "\\Lenfol\\Conduit\\Lenfol.dll";

std::string Prompt(const std::string &name) {
    return "Press Yes if you want to install the Lensfolio to " + name + "'s backup conduit.";
}

class InstallerTest : public SetupScratch {
protected:
    void SetUp() override {
        SetupScratch::SetUp();
        WriteAll(cwd_ / "Lenfol.dll", "conduit library, new build");
        WriteAll(cwd_ / "Lenfol.prc", "handheld application");
    }

    std::vector<standin::UserEntry> AddFiveUsers() {
        std::vector<standin::UserEntry> users;
        const char *names[] = {"Ann Archer", "Ben Baker", "Cleo Cole", "Dan Dyer", "Eve Eliot"};
        for (uint32_t i = 0; i < 5; ++i) {
            users.push_back(AddUser(names[i], 1000 + i, "User" + std::to_string(i)));
        }
        return users;
    }

    void ExpectFullRegistration(const standin::UserEntry &user) {
        standin::ConduitEntry conduit;
        ASSERT_TRUE(Registration(&conduit));
        EXPECT_EQ(conduit.conduitType, 1);
        EXPECT_EQ(conduit.creatorName, UserPathText(user, kLibraryPiece));
        EXPECT_EQ(conduit.pcDirectory, "Lenfol");
        EXPECT_EQ(conduit.pcFileName, "Camera.txt");
        EXPECT_EQ(conduit.title, "Lensfolio");
        EXPECT_EQ(conduit.remoteFile, "LenfolDB");
    }

    void ExpectLibraryPlaced(const standin::UserEntry &user) {
        fs::path library = UserPath(user.directory, kLibraryPiece);
        ASSERT_TRUE(fs::exists(library));
        EXPECT_EQ(ReadAll(library), "conduit library, new build");
    }
};

TEST_F(InstallerTest, NoUsersEndsWithoutABoxOrAnyOtherCall) {
    std::vector<std::string> before = ListTree(root_);
    ProgramRun run = Run(kInstaller, "yes");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.Operations(), std::vector<std::string>{"GetHotSyncUserCount"});
    EXPECT_EQ(ListTree(root_), before);
}

TEST_F(InstallerTest, EveryUserDeclinedShowsOneBoxEachInIndexOrder) {
    std::vector<standin::UserEntry> users = AddFiveUsers();
    std::vector<std::string> before = ListTree(root_);
    ProgramRun run = Run(kInstaller, "no,cancel,no,cancel,no");
    ASSERT_EQ(run.boxes.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(users[i].name);
        ExpectBox(run.boxes[i], Prompt(users[i].name), kPromptTitle, kPromptStyle);
    }
    EXPECT_TRUE(run.CallsOf("GetHotSyncUserDirectory").empty());
    EXPECT_TRUE(run.CallsOf("GetHotSyncDirectory").empty());
    EXPECT_EQ(ListTree(root_), before);
}

TEST_F(InstallerTest, YesOnTheThirdOfFiveAsksNoFurtherUser) {
    std::vector<standin::UserEntry> users = AddFiveUsers();
    ProgramRun run = Run(kInstaller, "no,cancel,yes,yes,yes");
    ASSERT_EQ(run.boxes.size(), 4u);
    for (size_t i = 0; i < 3; ++i) ExpectBox(run.boxes[i], Prompt(users[i].name), kPromptTitle, kPromptStyle);
    ExpectBox(run.boxes[3], kFullSuccess, "Lensfolio: Success", 64);

    std::vector<std::string> indexes;
    for (const PlatformCall *call : run.CallsOf("GetHotSyncUserId")) indexes.push_back(call->arguments.at(0));
    EXPECT_EQ(indexes, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(run.CallsOf("GetHotSyncUserName").size(), 3u);
    auto directoryQueries = run.CallsOf("GetHotSyncUserDirectory");
    ASSERT_EQ(directoryQueries.size(), 1u);
    EXPECT_EQ(directoryQueries[0]->arguments.at(0), std::to_string(users[2].id));

    ExpectLibraryPlaced(users[2]);
    ExpectFullRegistration(users[2]);
    EXPECT_EQ(Queue(users[2]), std::vector<std::string>{(cwd_ / "Lenfol.prc").string()});
    for (size_t i : {0u, 1u, 3u, 4u}) {
        EXPECT_FALSE(fs::exists(root_ / users[i].directory / "Lenfol")) << users[i].name;
        EXPECT_TRUE(Queue(users[i]).empty()) << users[i].name;
    }
}

TEST_F(InstallerTest, EnterTakesTheDefaultButtonNo) {
    AddUser("Solo", 7, "Solo");
    ProgramRun run = Run(kInstaller, "enter");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].answer, 7);
    standin::ConduitEntry conduit;
    EXPECT_FALSE(Registration(&conduit));
}

TEST_F(InstallerTest, FullInstallMakesItsCallsInOrder) {
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    ProgramRun run = Run(kInstaller, "yes");
    const std::vector<std::string> expected = {
        "GetHotSyncUserCount", "GetHotSyncUserId", "GetHotSyncUserName", "GetFocus",
        "MessageBoxA", "GetHotSyncUserDirectory", "GetCurrentDirectoryA",
        "GetHotSyncDirectory", "CreateDirectoryA", "CreateDirectoryA", "CopyFileA",
        "InstallConduit", "SetConduitCreatorName", "SetConduitDirectory",
        "SetConduitFileName", "SetConduitTitle", "SetConduitRemoteFile",
        "NotifyHotSyncManager", "QueueHandheldInstall", "Sleep", "GetFocus", "MessageBoxA"};
    EXPECT_EQ(run.Operations(), expected);

    for (const char *query : {"GetHotSyncUserName", "GetHotSyncUserDirectory", "GetHotSyncDirectory"}) {
        EXPECT_EQ(run.CallsOf(query).at(0)->arguments.back(), "512") << query;
    }
    EXPECT_EQ(run.CallsOf("GetCurrentDirectoryA").at(0)->arguments.at(0), "512");
    auto creates = run.CallsOf("CreateDirectoryA");
    EXPECT_EQ(creates.at(0)->arguments.at(0), UserPathText(user, "\\Lenfol"));
    EXPECT_EQ(creates.at(1)->arguments.at(0), UserPathText(user, "\\Lenfol\\Conduit"));
    const PlatformCall *copy = run.CallsOf("CopyFileA").at(0);
    EXPECT_EQ(copy->arguments, (std::vector<std::string>{cwd_.string() + "\\Lenfol.dll",
                                                         UserPathText(user, kLibraryPiece), "0"}));
    EXPECT_EQ(run.CallsOf("InstallConduit").at(0)->arguments, (std::vector<std::string>{"LnFo", "1"}));
    EXPECT_EQ(run.CallsOf("NotifyHotSyncManager").at(0)->arguments, (std::vector<std::string>{"2", "0"}));
    EXPECT_EQ(run.CallsOf("QueueHandheldInstall").at(0)->arguments,
              (std::vector<std::string>{"Jane Smith", cwd_.string() + "\\Lenfol.prc"}));
    EXPECT_EQ(run.CallsOf("Sleep").at(0)->arguments.at(0), "5000");

    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kFullSuccess, "Lensfolio: Success", 64);
    ExpectLibraryPlaced(user);
    ExpectFullRegistration(user);
    EXPECT_EQ(Queue(user), std::vector<std::string>{(cwd_ / "Lenfol.prc").string()});
}

TEST_F(InstallerTest, MissingLibraryInTheCurrentDirectoryIsNotReported) {
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    fs::remove(cwd_ / "Lenfol.dll");
    ProgramRun run = Run(kInstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kFullSuccess, "Lensfolio: Success", 64);
    EXPECT_TRUE(fs::is_directory(UserPath(user.directory, "\\Lenfol\\Conduit")));
    EXPECT_FALSE(fs::exists(UserPath(user.directory, kLibraryPiece)));
    ExpectFullRegistration(user);
    EXPECT_EQ(Queue(user).size(), 1u);
}

TEST_F(InstallerTest, ExistingRegistrationIsKeptAndTheLibraryReplaced) {
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    standin::ConduitEntry old;
    old.creator = "LnFo";
    old.conduitType = 1;
    old.creatorName = "C:\\Elsewhere\\Lenfol.dll";
    Register(old);
    fs::create_directories(UserPath(user.directory, "\\Lenfol\\Conduit"));
    WriteAll(UserPath(user.directory, kLibraryPiece), "old build");

    ProgramRun run = Run(kInstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kShortSuccess, "Lensfolio: Success", 64);
    ExpectLibraryPlaced(user);
    standin::ConduitEntry conduit;
    ASSERT_TRUE(Registration(&conduit));
    EXPECT_EQ(conduit.creatorName, "C:\\Elsewhere\\Lenfol.dll");
    EXPECT_FALSE(conduit.pcDirectory || conduit.pcFileName || conduit.title || conduit.remoteFile);
    EXPECT_TRUE(run.CallsOf("SetConduitCreatorName").empty());
    EXPECT_EQ(run.CallsOf("NotifyHotSyncManager").size(), 1u);
    EXPECT_EQ(Queue(user), std::vector<std::string>{(cwd_ / "Lenfol.prc").string()});
}

// One row per failure of the installer's failure table.
struct InstallerFailure {
    const char *operation;
    const char *status;
    const char *text;
    const char *title;
    int fieldsWritten;  // -1: no registration at all
};

void PrintTo(const InstallerFailure &row, std::ostream *out) { *out << row.operation; }

class InstallerFailureTest : public InstallerTest,
                             public ::testing::WithParamInterface<InstallerFailure> {};

TEST_P(InstallerFailureTest, ShowsItsBoxAndLeavesTheEarlierSteps) {
    const InstallerFailure &row = GetParam();
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    ProgramRun run = Run(kInstaller, "yes", std::string(row.operation) + ":1:" + row.status);
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], row.text, row.title, 16);
    EXPECT_TRUE(Queue(user).empty());
    EXPECT_TRUE(run.CallsOf("NotifyHotSyncManager").empty());
    EXPECT_TRUE(run.CallsOf("Sleep").empty());

    bool directoryLookupFailed = std::string(row.operation) == "GetHotSyncDirectory";
    EXPECT_EQ(fs::exists(root_ / user.directory / "Lenfol"), !directoryLookupFailed);
    if (!directoryLookupFailed) ExpectLibraryPlaced(user);

    standin::ConduitEntry conduit;
    ASSERT_EQ(Registration(&conduit), row.fieldsWritten >= 0);
    if (row.fieldsWritten < 0) return;
    const bool written[] = {bool(conduit.creatorName), bool(conduit.pcDirectory),
                            bool(conduit.pcFileName), bool(conduit.title), bool(conduit.remoteFile)};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(written[i], i < row.fieldsWritten) << "setting " << i;
    if (row.fieldsWritten > 0) {
        EXPECT_EQ(conduit.creatorName, UserPathText(user, kLibraryPiece));
    }
    if (row.fieldsWritten > 1) {
        EXPECT_EQ(conduit.pcDirectory, "Lenfol");
    }
}

INSTANTIATE_TEST_SUITE_P(
    FailureTable, InstallerFailureTest,
    ::testing::Values(
        InstallerFailure{"GetHotSyncDirectory", "0x4002", "Could not find HotSync directory!",
                         "Lensfolio: HotSync Directory Error", -1},
        InstallerFailure{"InstallConduit", "-1", "Could not install conduit!",
                         "Lensfolio: Conduit Error", -1},
        InstallerFailure{"SetConduitCreatorName", "0x4011", "Could not set creator name!",
                         "Lensfolio: Name Error", 0},
        InstallerFailure{"SetConduitDirectory", "0x4011", "Could not set PC directory!",
                         "Lensfolio: Directory Error", 1},
        InstallerFailure{"SetConduitFileName", "0x4011", "Could not set PC filename!",
                         "Lensfolio: PC Filename Error", 2},
        InstallerFailure{"SetConduitTitle", "0x4011", "Could not set title!",
                         "Lensfolio: Title Error", 3},
        InstallerFailure{"SetConduitRemoteFile", "0x4011", "Could not set remote file!",
                         "Lensfolio: HH Filename Error", 4}),
    [](const ::testing::TestParamInfo<InstallerFailure> &info) {
        return std::string(info.param.operation);
    });

TEST_F(InstallerTest, InstallAnsweringAlreadyInstalledGivesTheShortMessage) {
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    ProgramRun run = Run(kInstaller, "yes", "InstallConduit:1:-1005");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kShortSuccess, "Lensfolio: Success", 64);
    ExpectLibraryPlaced(user);
    standin::ConduitEntry conduit;
    EXPECT_FALSE(Registration(&conduit));
    EXPECT_EQ(Queue(user).size(), 1u);
}

// Texts that would not fit 511 characters stop the run with one box.
class InstallerLengthTest : public InstallerTest {
protected:
    // The prompt is 68 characters besides the name.
    static constexpr size_t kLongestName = 511 - 68;
    // A current directory of the given length, made below the scratch directory.
    fs::path CurrentDirectoryOfLength(size_t length) {
        fs::path directory = scratch_;
        while (directory.string().size() + 1 < length) {
            size_t piece = std::min<size_t>(200, length - directory.string().size() - 1);
            directory /= std::string(piece, 'c');
        }
        fs::create_directories(directory);
        WriteAll(directory / "Lenfol.dll", "conduit library, new build");
        return directory;
    }
};

TEST_F(InstallerLengthTest, PromptOfExactly511CharactersIsShown) {
    AddUser(std::string(kLongestName, 'n'), 1, "N");
    ProgramRun run = Run(kInstaller, "no");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text.size(), 511u);
    EXPECT_EQ(run.boxes[0].title, kPromptTitle);
}

TEST_F(InstallerLengthTest, LongerUserNameStopsBeforeAnyPrompt) {
    AddUser(std::string(kLongestName + 1, 'n'), 1, "N");
    AddUser("Second", 2, "S");
    ProgramRun run = Run(kInstaller, "yes,yes");
    ASSERT_EQ(run.boxes.size(), 1u);
    ExpectBox(run.boxes[0], "User name too long!", "Lensfolio: Length Error", 16);
    EXPECT_EQ(run.CallsOf("GetHotSyncUserId").size(), 1u);
    EXPECT_TRUE(run.CallsOf("GetHotSyncDirectory").empty());
}

TEST_F(InstallerLengthTest, LibraryPathOfExactly511CharactersIsUsed) {
    const standin::UserEntry user = AddUserWithLibraryPathOf(511);
    ProgramRun run = Run(kInstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kFullSuccess, "Lensfolio: Success", 64);
    EXPECT_EQ(UserPathText(user, kLibraryPiece).size(), 511u);
    ExpectLibraryPlaced(user);
}

TEST_F(InstallerLengthTest, LongerLibraryPathStopsBeforeAnythingIsCreated) {
    const standin::UserEntry user = AddUserWithLibraryPathOf(512);
    ProgramRun run = Run(kInstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], "Path too long!", "Lensfolio: Length Error", 16);
    EXPECT_FALSE(fs::exists(root_ / user.directory / "Lenfol"));
    EXPECT_TRUE(run.CallsOf("CreateDirectoryA").empty());
    EXPECT_TRUE(run.CallsOf("InstallConduit").empty());
    EXPECT_TRUE(Queue(user).empty());
}

TEST_F(InstallerLengthTest, CurrentDirectoryAtTheLimitIsUsed) {
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    fs::path directory = CurrentDirectoryOfLength(511 - 11);
    ProgramRun run = Run(kInstaller, "yes", "", directory);
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kFullSuccess, "Lensfolio: Success", 64);
    ExpectLibraryPlaced(user);
}

TEST_F(InstallerLengthTest, LongerCurrentDirectoryStopsBeforeAnythingIsCreated) {
    standin::UserEntry user = AddUser("Jane Smith", 4242, "SmithJ");
    fs::path directory = CurrentDirectoryOfLength(512 - 11);
    ProgramRun run = Run(kInstaller, "yes", "", directory);
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], "Path too long!", "Lensfolio: Length Error", 16);
    EXPECT_FALSE(fs::exists(root_ / user.directory / "Lenfol"));
    EXPECT_TRUE(run.CallsOf("InstallConduit").empty());
}

}  // namespace
