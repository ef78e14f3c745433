// The uninstaller, run as a program against the stand-in HotSync desktop.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setup_harness.h"

namespace fs = std::filesystem;

namespace {

const char kPromptTitle[] = "Lensfolio: Uninstaller";
const char kSuccess[] = "Conduit has been successfully uninstalled.";

// The layout below a user's directory, as the installer and the conduit leave it.
const std::vector<std::string> kLayoutFiles = {"Lenfol/Conduit/Lenfol.dll", "Lenfol/Cameras.txt",
                                               "Lenfol/Backup.txt", "Lenfol/Temp.txt",
                                               "Lenfol/Synced.txt"};

std::string Prompt(const std::string &name) {
    return "Press OK if you want to remove the Lensfolio from " + name + "'s backup conduit.";
}

class UninstallerTest : public SetupScratch {
protected:
    void SetUp() override {
        SetupScratch::SetUp();
        Register(LenfolRegistration("C:\\HotSync\\x\\Lenfol\\Conduit\\Lenfol.dll"));
    }

    void MakeLayout(const standin::UserEntry &user) {
        fs::create_directories(root_ / user.directory / "Lenfol" / "Conduit");
        for (const std::string &file : kLayoutFiles) WriteAll(root_ / user.directory / file, file);
    }

    bool Registered() const {
        standin::ConduitEntry conduit;
        return Registration(&conduit);
    }

    void ExpectLayoutIntact(const standin::UserEntry &user) {
        for (const std::string &file : kLayoutFiles) {
            EXPECT_TRUE(fs::exists(root_ / user.directory / file)) << user.directory << "/" << file;
        }
    }

    // The user, with the whole layout, answers Yes while `faults` are
    // injected: the run must end on the error box `text` under `title` and
    // leave every file and the registration as they were.
    ProgramRun ExpectFailureKeepsLayout(const standin::UserEntry &user, const std::string &faults,
                                        const std::string &text, const std::string &title) {
        MakeLayout(user);
        const bool registered = Registered();
        ProgramRun run = Run(kUninstaller, "yes", faults);
        EXPECT_EQ(run.boxes.size(), 2u);
        if (run.boxes.size() == 2) ExpectBox(run.boxes[1], text, title, 16);
        ExpectLayoutIntact(user);
        EXPECT_EQ(Registered(), registered);
        return run;
    }
};

TEST_F(UninstallerTest, NoUsersEndsWithoutABoxOrAnyOtherCall) {
    ProgramRun run = Run(kUninstaller, "yes");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.Operations(), std::vector<std::string>{"GetHotSyncUserCount"});
    EXPECT_TRUE(Registered());
}

TEST_F(UninstallerTest, EveryUserDeclinedKeepsRegistrationAndFiles) {
    std::vector<standin::UserEntry> users = {AddUser("Ann", 1, "Ann"), AddUser("Ben", 2, "Ben"),
                                             AddUser("Cleo", 3, "Cleo")};
    for (const standin::UserEntry &user : users) MakeLayout(user);
    ProgramRun run = Run(kUninstaller, "no,cancel,enter");
    ASSERT_EQ(run.boxes.size(), 3u);
    for (size_t i = 0; i < 3; ++i) ExpectBox(run.boxes[i], Prompt(users[i].name), kPromptTitle, 291);
    EXPECT_TRUE(Registered());
    for (const standin::UserEntry &user : users) ExpectLayoutIntact(user);
    EXPECT_TRUE(run.CallsOf("RemoveConduit").empty());
}

TEST_F(UninstallerTest, RemovesTheSelectedUsersLayoutInOrder) {
    standin::UserEntry ann = AddUser("Ann", 1, "Ann");
    standin::UserEntry ben = AddUser("Ben", 2, "Ben");
    MakeLayout(ann);
    MakeLayout(ben);
    ProgramRun run = Run(kUninstaller, "no,yes");

    ASSERT_EQ(run.boxes.size(), 3u);
    ExpectBox(run.boxes[2], kSuccess, "Lensfolio: Success", 64);
    EXPECT_FALSE(Registered());
    EXPECT_FALSE(fs::exists(root_ / "Ben" / "Lenfol"));
    EXPECT_TRUE(fs::exists(root_ / "Ben"));
    ExpectLayoutIntact(ann);

    std::vector<std::string> removals;
    for (const PlatformCall &call : run.calls) {
        if (call.operation == "DeleteFileA" || call.operation == "RemoveDirectoryA") {
            removals.push_back(call.operation + " " + call.arguments.at(0));
        }
    }
    const std::string base = UserPathText(ben, "");
    EXPECT_EQ(removals, (std::vector<std::string>{
                            "DeleteFileA " + base + "\\Lenfol\\Conduit\\Lenfol.dll",
                            "RemoveDirectoryA " + base + "\\Lenfol\\Conduit\\",
                            "DeleteFileA " + base + "\\Lenfol\\Cameras.txt",
                            "DeleteFileA " + base + "\\Lenfol\\Backup.txt",
                            "DeleteFileA " + base + "\\Lenfol\\Temp.txt",
                            "DeleteFileA " + base + "\\Lenfol\\Synced.txt",
                            "RemoveDirectoryA " + base + "\\Lenfol\\"}));
    const std::vector<std::string> tail = {"GetHotSyncUserDirectory", "GetHotSyncDirectory",
                                           "RemoveConduit", "DeleteFileA", "RemoveDirectoryA",
                                           "DeleteFileA", "DeleteFileA", "DeleteFileA",
                                           "DeleteFileA", "RemoveDirectoryA",
                                           "NotifyHotSyncManager", "Sleep", "GetFocus",
                                           "MessageBoxA"};
    std::vector<std::string> operations = run.Operations();
    ASSERT_GE(operations.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(operations.end() - tail.size(), operations.end()), tail);
    EXPECT_EQ(run.CallsOf("RemoveConduit").at(0)->arguments.at(0), "LnFo");
    EXPECT_EQ(run.CallsOf("NotifyHotSyncManager").at(0)->arguments, (std::vector<std::string>{"2", "0"}));
    EXPECT_EQ(run.CallsOf("Sleep").at(0)->arguments.at(0), "5000");
    EXPECT_EQ(run.CallsOf("GetHotSyncDirectory").at(0)->arguments.at(0), "512");
}

TEST_F(UninstallerTest, RemoveAnsweringZeroTouchesNoFile) {
    const ProgramRun run =
        ExpectFailureKeepsLayout(AddUser("Ann", 1, "Ann"), "RemoveConduit:1:0",
                                 "Could not remove conduit!", "Lensfolio: Conduit Error");
    EXPECT_TRUE(run.CallsOf("DeleteFileA").empty());
    EXPECT_TRUE(run.CallsOf("RemoveDirectoryA").empty());
    EXPECT_TRUE(run.CallsOf("NotifyHotSyncManager").empty());
}

TEST_F(UninstallerTest, NothingRegisteredIsAFailedRemoval) {
    ASSERT_EQ(standin::SaveConduits(root_.string(), {}), 0);
    ExpectFailureKeepsLayout(AddUser("Ann", 1, "Ann"), "", "Could not remove conduit!",
                             "Lensfolio: Conduit Error");
}

TEST_F(UninstallerTest, UserWithoutTheLayoutStillSucceeds) {
    AddUser("Ann", 1, "Ann");
    ProgramRun run = Run(kUninstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kSuccess, "Lensfolio: Success", 64);
    EXPECT_FALSE(Registered());
    std::vector<const PlatformCall *> removals = run.CallsOf("DeleteFileA");
    for (const PlatformCall *call : run.CallsOf("RemoveDirectoryA")) removals.push_back(call);
    EXPECT_EQ(removals.size(), 7u);
    for (const PlatformCall *call : removals) EXPECT_EQ(call->result, 0) << call->arguments.at(0);
}

TEST_F(UninstallerTest, ExtraFileKeepsTheApplicationDirectory) {
    standin::UserEntry ann = AddUser("Ann", 1, "Ann");
    MakeLayout(ann);
    WriteAll(root_ / "Ann" / "Lenfol" / "Notes.txt", "mine");
    ProgramRun run = Run(kUninstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    ExpectBox(run.boxes[1], kSuccess, "Lensfolio: Success", 64);
    EXPECT_EQ(ListTree(root_ / "Ann" / "Lenfol"), std::vector<std::string>{"Notes.txt"});
}

TEST_F(UninstallerTest, HotSyncDirectoryFailureTitleHasNoErrorWord) {
    const ProgramRun run =
        ExpectFailureKeepsLayout(AddUser("Ann", 1, "Ann"), "GetHotSyncDirectory:1:0x4002",
                                 "Could not find HotSync directory!", "Lensfolio: HotSync Directory");
    EXPECT_TRUE(run.CallsOf("RemoveConduit").empty());
}

TEST_F(UninstallerTest, UndoesWhatTheInstallerDid) {
    standin::UserEntry ann = AddUser("Ann", 1, "Ann");
    ASSERT_EQ(standin::SaveConduits(root_.string(), {}), 0);
    WriteAll(cwd_ / "Lenfol.dll", "library");
    WriteAll(cwd_ / "Lenfol.prc", "application");
    Run(kInstaller, "yes");
    WriteAll(root_ / "Ann" / "Lenfol" / "Cameras.txt", "camera list");
    ASSERT_TRUE(Registered());

    ProgramRun run = Run(kUninstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].text, kSuccess);
    EXPECT_FALSE(Registered());
    // The queued handheld install is the HotSync Manager's and stays.
    EXPECT_EQ(ListTree(root_ / "Ann"), std::vector<std::string>{"install.queue"});
}

class UninstallerLengthTest : public UninstallerTest {};

TEST_F(UninstallerLengthTest, LongUserNameStopsBeforeAnyPrompt) {
    AddUser(std::string(511 - 68 + 1, 'n'), 1, "N");
    ProgramRun run = Run(kUninstaller, "yes");
    ASSERT_EQ(run.boxes.size(), 1u);
    ExpectBox(run.boxes[0], "User name too long!", "Lensfolio: Length Error", 16);
    EXPECT_TRUE(Registered());
}

TEST_F(UninstallerLengthTest, LongPathStopsBeforeTheRegistrationGoes) {
    const ProgramRun run = ExpectFailureKeepsLayout(AddUserWithLibraryPathOf(512), "", "Path too long!",
                                                    "Lensfolio: Length Error");
    EXPECT_TRUE(run.CallsOf("RemoveConduit").empty());
}

}  // namespace
