// Fails each platform call of each program in turn (the 1st, 2nd, ... call of
// every operation the program makes, until a run injects nothing) and checks
// the one closing box and what is left on disk and in the registration.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "setup_harness.h"
#include "standin.h"

namespace fs = std::filesystem;

namespace {

const char kPromptInstallTitle[] = "Lensfolio: Installer";
const char kPromptUninstallTitle[] = "Lensfolio: Uninstaller";

// The failure each operation is given: what its library answers when it fails.
std::string FailureStatus(const std::string &operation) {
    if (operation == "GetHotSyncUserCount") return "-1";
    if (operation == "RemoveConduit" || operation == "MessageBoxA" ||
        operation == "GetCurrentDirectoryA" || operation == "CreateDirectoryA" ||
        operation == "CopyFileA" || operation == "DeleteFileA" ||
        operation == "RemoveDirectoryA") {
        return "0";
    }
    return "0x4011";
}

std::vector<std::string> OperationsOf(const ProgramRun &run) {
    std::set<std::string> unique;
    for (const PlatformCall &call : run.calls) unique.insert(call.operation);
    return std::vector<std::string>(unique.begin(), unique.end());
}

struct Closing {
    std::string text;  // empty: no closing box is asked for
    std::string title;
    uint32_t style = 0;
};

// What is left after one installer run; the defaults are a full success for
// the second user.
struct InstallOutcome {
    bool known = true;
    size_t boxRequests = 3;
    Closing closing{
        "Conduit has been successfully installed.  Lensfolio will be installed on next HotSync.",
        "Lensfolio: Success", 64};
    const char *layoutIn = "bob";  // user directory holding Lenfol; "" the root; null none
    bool conduitDirectory = true;
    bool library = true;
    int settings = 5;            // -1: no registration
    const char *queuedFor = "bob";  // null: nothing queued
    bool queuedFromEmptyDirectory = false;
};

InstallOutcome ExpectedInstall(const std::string &operation, int nth) {
    InstallOutcome o;
    auto stopWith = [&o](const char *text, const char *title, int settings) {
        o.closing = {text, title, 16};
        o.settings = settings;
        o.queuedFor = nullptr;
    };
    if (operation == "GetHotSyncUserCount") {
        o.boxRequests = 0;
        o.closing = {};
        o.layoutIn = nullptr;
        o.settings = -1;
        o.queuedFor = nullptr;
    } else if (operation == "GetHotSyncUserId") {
        // A failed query leaves the ID of the user asked before (Alice is
        // asked twice), or, hostile, junk: a user with no name and no
        // directory, whose layout goes below the HotSync directory itself.
        if (nth == 2 && StandinHostile()) {
            o.layoutIn = "";
            o.queuedFor = nullptr;
        } else if (nth == 2) {
            o.layoutIn = o.queuedFor = "alice";
        }
    } else if (operation == "GetHotSyncUserName") {
        // Bob's name was not read, so the install aide knows no such user.
        if (nth == 2) o.queuedFor = nullptr;
    } else if (operation == "MessageBoxA") {
        if (nth < 3) {
            o.boxRequests = 2;
            o.closing = {};
            o.layoutIn = nullptr;
            o.settings = -1;
            o.queuedFor = nullptr;
        }
    } else if (operation == "GetHotSyncUserDirectory") {
        o.layoutIn = "";
    } else if (operation == "GetCurrentDirectoryA") {
        o.library = false;
        o.queuedFromEmptyDirectory = true;
    } else if (operation == "GetHotSyncDirectory") {
        stopWith("Could not find HotSync directory!", "Lensfolio: HotSync Directory Error", -1);
        o.layoutIn = nullptr;
    } else if (operation == "CreateDirectoryA") {
        if (nth == 1) o.layoutIn = nullptr;
        o.conduitDirectory = o.library = false;
    } else if (operation == "CopyFileA") {
        o.library = false;
    } else if (operation == "InstallConduit") {
        stopWith("Could not install conduit!", "Lensfolio: Conduit Error", -1);
    } else if (operation == "SetConduitCreatorName") {
        stopWith("Could not set creator name!", "Lensfolio: Name Error", 0);
    } else if (operation == "SetConduitDirectory") {
        stopWith("Could not set PC directory!", "Lensfolio: Directory Error", 1);
    } else if (operation == "SetConduitFileName") {
        stopWith("Could not set PC filename!", "Lensfolio: PC Filename Error", 2);
    } else if (operation == "SetConduitTitle") {
        stopWith("Could not set title!", "Lensfolio: Title Error", 3);
    } else if (operation == "SetConduitRemoteFile") {
        stopWith("Could not set remote file!", "Lensfolio: HH Filename Error", 4);
    } else if (operation == "QueueHandheldInstall") {
        o.queuedFor = nullptr;
    } else if (operation != "NotifyHotSyncManager" && operation != "Sleep" &&
               operation != "GetFocus") {
        o.known = false;
    }
    return o;
}

void ExpectClosing(const ProgramRun &run, size_t boxRequests, const Closing &closing,
                   const char *promptTitle) {
    ASSERT_EQ(run.boxes.size(), boxRequests);
    size_t prompts = 0;
    for (const BoxRequest &box : run.boxes) prompts += box.title == promptTitle;
    EXPECT_EQ(prompts, boxRequests - (closing.text.empty() ? 0 : 1));
    if (closing.text.empty()) return;
    ExpectBox(run.boxes.back(), closing.text, closing.title, closing.style);
}

class SetupSweep : public SetupScratch {
protected:
    void SetUp() override {
        SetupScratch::SetUp();
        WriteAll(cwd_ / "Lenfol.dll", "library");
        WriteAll(cwd_ / "Lenfol.prc", "application");
        users_ = {AddUser("Alice", 11, "alice"), AddUser("Bob", 22, "bob")};
        pristine_ = scratch_ / "pristine";
        fs::copy(root_, pristine_, fs::copy_options::recursive);
    }

    void ResetRoot() {
        fs::remove_all(root_);
        fs::copy(pristine_, root_, fs::copy_options::recursive);
    }

    // Runs `program` failing call `nth` of every operation in turn.
    template <typename Check>
    void Sweep(const char *program, Check check) {
        ProgramRun clean = Run(program, "no,yes");
        size_t runs = 0;
        for (const std::string &operation : OperationsOf(clean)) {
            for (int nth = 1; nth < 50; ++nth) {
                ResetRoot();
                std::string fault = operation + ":" + std::to_string(nth) + ":" + FailureStatus(operation);
                SCOPED_TRACE(fault);
                ProgramRun run = Run(program, "no,yes", fault);
                if (!run.AnyInjected()) break;
                ++runs;
                check(operation, nth, run);
            }
        }
        EXPECT_GE(runs, clean.calls.size());
    }

    void CheckInstall(const std::string &operation, int nth, const ProgramRun &run) {
        InstallOutcome o = ExpectedInstall(operation, nth);
        ASSERT_TRUE(o.known) << "no expectation for " << operation;
        ExpectClosing(run, o.boxRequests, o.closing, kPromptInstallTitle);
        for (const char *directory : {"", "alice", "bob"}) {
            bool here = o.layoutIn && std::string(o.layoutIn) == directory;
            SCOPED_TRACE(std::string("layout in '") + directory + "'");
            EXPECT_EQ(fs::exists(UserPath(directory, "\\Lenfol")), here);
            EXPECT_EQ(fs::exists(UserPath(directory, "\\Lenfol\\Conduit")), here && o.conduitDirectory);
            EXPECT_EQ(fs::exists(UserPath(directory, "\\Lenfol\\Conduit\\Lenfol.dll")), here && o.library);
        }
        standin::ConduitEntry conduit;
        ASSERT_EQ(Registration(&conduit), o.settings >= 0);
        if (o.settings >= 0) {
            const bool written[] = {bool(conduit.creatorName), bool(conduit.pcDirectory),
                                    bool(conduit.pcFileName), bool(conduit.title),
                                    bool(conduit.remoteFile)};
            for (int i = 0; i < 5; ++i) EXPECT_EQ(written[i], i < o.settings) << "setting " << i;
            if (o.settings > 0 && o.layoutIn) {
                EXPECT_EQ(conduit.creatorName, RootText() + "\\" + o.layoutIn +
                                                   "\\Lenfol\\Conduit\\Lenfol.dll");
            }
        }
        for (const standin::UserEntry &user : users_) {
            bool queued = o.queuedFor && user.directory == o.queuedFor;
            std::string source = o.queuedFromEmptyDirectory ? "/Lenfol.prc" : (cwd_ / "Lenfol.prc").string();
            EXPECT_EQ(Queue(user), queued ? std::vector<std::string>{source} : std::vector<std::string>{})
                << user.name;
        }
    }

    std::vector<standin::UserEntry> users_;
    fs::path pristine_;
};

TEST_F(SetupSweep, Installer) {
    Sweep(kInstaller, [this](const std::string &operation, int nth, const ProgramRun &run) {
        CheckInstall(operation, nth, run);
    });
}

// What is left after one uninstaller run; the defaults are a full removal of
// the second user's layout.
struct UninstallOutcome {
    bool known = true;
    size_t boxRequests = 3;
    Closing closing{"Conduit has been successfully uninstalled.", "Lensfolio: Success", 64};
    const char *clearedUser = "bob";  // null: every layout intact
    std::set<std::string> keptInCleared;
    bool registered = false;
};

const std::vector<std::string> kLayout = {"Lenfol",
                                          "Lenfol/Conduit",
                                          "Lenfol/Conduit/Lenfol.dll",
                                          "Lenfol/Cameras.txt",
                                          "Lenfol/Backup.txt",
                                          "Lenfol/Temp.txt",
                                          "Lenfol/Synced.txt"};

UninstallOutcome ExpectedUninstall(const std::string &operation, int nth) {
    UninstallOutcome o;
    auto keepAll = [&o]() {
        o.clearedUser = nullptr;
        o.registered = true;
    };
    if (operation == "GetHotSyncUserCount") {
        keepAll();
        o.boxRequests = 0;
        o.closing = {};
    } else if (operation == "GetHotSyncUserId") {
        // As for the installer; hostile, nothing lies below the root itself.
        if (nth == 2) o.clearedUser = StandinHostile() ? nullptr : "alice";
    } else if (operation == "MessageBoxA") {
        if (nth < 3) {
            keepAll();
            o.boxRequests = 2;
            o.closing = {};
        }
    } else if (operation == "GetHotSyncUserDirectory") {
        o.clearedUser = nullptr;  // removes below the root itself, where nothing lies
    } else if (operation == "GetHotSyncDirectory") {
        keepAll();
        o.closing = {"Could not find HotSync directory!", "Lensfolio: HotSync Directory", 16};
    } else if (operation == "RemoveConduit") {
        keepAll();
        o.closing = {"Could not remove conduit!", "Lensfolio: Conduit Error", 16};
    } else if (operation == "DeleteFileA") {
        const char *files[] = {"Lenfol/Conduit/Lenfol.dll", "Lenfol/Cameras.txt",
                               "Lenfol/Backup.txt", "Lenfol/Temp.txt", "Lenfol/Synced.txt"};
        o.keptInCleared = {"Lenfol", files[nth - 1]};
        if (nth == 1) o.keptInCleared.insert("Lenfol/Conduit");
    } else if (operation == "RemoveDirectoryA") {
        o.keptInCleared = {"Lenfol"};
        if (nth == 1) o.keptInCleared.insert("Lenfol/Conduit");
    } else if (operation != "GetHotSyncUserName" && operation != "NotifyHotSyncManager" &&
               operation != "Sleep" && operation != "GetFocus") {
        o.known = false;
    }
    return o;
}

class UninstallSweep : public SetupSweep {
protected:
    void SetUp() override {
        SetupSweep::SetUp();
        for (const standin::UserEntry &user : users_) {
            fs::create_directories(root_ / user.directory / "Lenfol" / "Conduit");
            for (size_t i = 2; i < kLayout.size(); ++i) WriteAll(root_ / user.directory / kLayout[i], kLayout[i]);
        }
        standin::ConduitEntry conduit;
        conduit.creator = "LnFo";
        conduit.conduitType = 1;
        Register(conduit);
        fs::remove_all(pristine_);
        fs::copy(root_, pristine_, fs::copy_options::recursive);
    }

    void CheckUninstall(const std::string &operation, int nth, const ProgramRun &run) {
        UninstallOutcome o = ExpectedUninstall(operation, nth);
        ASSERT_TRUE(o.known) << "no expectation for " << operation;
        ExpectClosing(run, o.boxRequests, o.closing, kPromptUninstallTitle);
        standin::ConduitEntry conduit;
        EXPECT_EQ(Registration(&conduit), o.registered);
        for (const standin::UserEntry &user : users_) {
            bool cleared = o.clearedUser && user.directory == o.clearedUser;
            for (const std::string &entry : kLayout) {
                bool kept = !cleared || o.keptInCleared.count(entry) > 0;
                EXPECT_EQ(fs::exists(root_ / user.directory / entry), kept) << user.directory << "/" << entry;
            }
        }
    }
};

TEST_F(UninstallSweep, Uninstaller) {
    Sweep(kUninstaller, [this](const std::string &operation, int nth, const ProgramRun &run) {
        CheckUninstall(operation, nth, run);
    });
}

}  // namespace
