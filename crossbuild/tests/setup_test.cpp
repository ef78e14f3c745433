// The installer and the uninstaller end to end under Wine: the same sources
// as the deliverables, linked to the stand-in's scripted MessageBoxA (answers
// from HOTSYNC_ANSWERS, every box in the HOTSYNC_TRACE), with the real KERNEL32
// doing the directories and files and the stand-in HotSync DLLs answering.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "desktop.h"
#include "files.h"
#include "process.h"
#include "trace.h"

namespace {

namespace fs = std::filesystem;

struct Box {
    std::string title;
    std::string text;
    std::string style;
    std::string answer;
    bool operator==(const Box &o) const {
        return title == o.title && text == o.text && style == o.style && answer == o.answer;
    }
};

std::ostream &operator<<(std::ostream &out, const Box &box) {
    return out << "[" << box.title << "] " << box.text << " style " << box.style << " answer "
               << box.answer;
}

const char kPromptStyle[] = "291";
const char kYes[] = "6";
const char kNo[] = "7";
const char kOk[] = "1";

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.empty());
        ASSERT_TRUE(fs::create_directories(Root()));
        ASSERT_TRUE(fs::create_directories(Distribution()));
        fs::copy_file(fs::path(LENFOL_DLL_DIR) / "Lenfol.dll", Distribution() / "Lenfol.dll");
        WriteAll(Distribution() / "Lenfol.prc", "handheld application");
    }

    fs::path Root() const { return scratch_ / "HotSync"; }
    fs::path Distribution() const { return scratch_ / "Lensfolio"; }
    fs::path AppDir(const std::string &user) const { return Root() / user / "Lenfol"; }

    void AddUsers(const std::vector<std::string> &names) {
        for (size_t i = 0; i < names.size(); ++i)
            AddUserDir(Root().string(), names[i], static_cast<uint32_t>(100 + i), names[i]);
    }

    // Runs PROGRAM_scripted.exe from the distribution folder; the boxes it showed.
    std::vector<Box> Run(const std::string &program, const std::string &answers) {
        const fs::path trace = scratch_ / (program + ".trace");
        fs::remove(trace);
        SetEnvironmentVariableA("HOTSYNC_ROOT", Root().string().c_str());
        SetEnvironmentVariableA("HOTSYNC_ANSWERS", answers.c_str());
        SetEnvironmentVariableA("HOTSYNC_TRACE", trace.string().c_str());
        const fs::path exe = fs::current_path() / (program + "_scripted.exe");
        const ProcessResult run = RunChild(exe.string(), {}, (scratch_ / program).string(),
                                           Distribution().string());
        EXPECT_EQ(run.exitCode, 0) << program << run.out << run.err;
        std::vector<Box> boxes;
        for (const PlatformCall &box : CallsOf(ReadTrace(trace), "MessageBoxA")) {
            const std::vector<std::string> &a = box.arguments;  // owner, text, caption, style
            if (a.size() == 4) boxes.push_back({a[2], a[1], a[3], std::to_string(box.result)});
        }
        return boxes;
    }

    std::string Registration() const { return ReadAll(Root() / "conduits.ini"); }

    ScratchDir scratchDir_{"setup-scratch", fs::current_path()};
    const fs::path scratch_ = scratchDir_.Path();
};

std::string InstallPrompt(const std::string &user) {
    return "Press Yes if you want to install the Lensfolio to " + user + "'s backup conduit.";
}

std::string RemovePrompt(const std::string &user) {
    return "Press OK if you want to remove the Lensfolio from " + user + "'s backup conduit.";
}

TEST_F(SetupProgram, InstallsForTheAcceptedUserThenUninstalls) {
    AddUsers({"Ada", "Bob"});
    EXPECT_EQ(Run("installer", "no,yes"),
              (std::vector<Box>{
                  {"Lensfolio: Installer", InstallPrompt("Ada"), kPromptStyle, kNo},
                  {"Lensfolio: Installer", InstallPrompt("Bob"), kPromptStyle, kYes},
                  {"Lensfolio: Success",
                   "Conduit has been successfully installed.  Lensfolio will be installed on next "
                   "HotSync.",
                   "64", kOk}}));
    const fs::path library = AppDir("Bob") / "Conduit" / "Lenfol.dll";
    EXPECT_EQ(ReadAll(library), ReadAll(Distribution() / "Lenfol.dll"));
    EXPECT_FALSE(fs::exists(AppDir("Ada")));
    const std::string ini = Registration();
    EXPECT_NE(ini.find("[LnFo]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("creatorName = " + Root().string() + "\\Bob\\Lenfol\\Conduit\\Lenfol.dll"),
              std::string::npos)
        << ini;
    for (const char *line : {"pcDirectory = Lenfol", "pcFileName = Camera.txt",
                             "title = Lensfolio", "remoteFile = LenfolDB"}) {
        EXPECT_NE(ini.find(line), std::string::npos) << line << " missing in\n" << ini;
    }
    const std::string queue = ReadAll(Root() / "Bob" / "install.queue");
    EXPECT_NE(queue.find("Lensfolio\\Lenfol.prc"), std::string::npos) << queue;

    WriteAll(AppDir("Bob") / "Cameras.txt", "camera\n");
    EXPECT_EQ(Run("uninstaller", "no,yes"),
              (std::vector<Box>{
                  {"Lensfolio: Uninstaller", RemovePrompt("Ada"), kPromptStyle, kNo},
                  {"Lensfolio: Uninstaller", RemovePrompt("Bob"), kPromptStyle, kYes},
                  {"Lensfolio: Success", "Conduit has been successfully uninstalled.", "64", kOk}}));
    EXPECT_EQ(Registration().find("[LnFo]"), std::string::npos);
    EXPECT_FALSE(fs::exists(AppDir("Bob")));
}

TEST_F(SetupProgram, SecondInstallFindsTheRegistrationAndGivesTheShortMessage) {
    AddUsers({"Ada"});
    ASSERT_EQ(Run("installer", "yes").size(), 2u);
    fs::remove(AppDir("Ada") / "Conduit" / "Lenfol.dll");
    EXPECT_EQ(Run("installer", "yes"),
              (std::vector<Box>{
                  {"Lensfolio: Installer", InstallPrompt("Ada"), kPromptStyle, kYes},
                  {"Lensfolio: Success", "Lensfolio will be installed on next HotSync.", "64", kOk}}));
    EXPECT_TRUE(fs::exists(AppDir("Ada") / "Conduit" / "Lenfol.dll"));
}

TEST_F(SetupProgram, NoUsersMeansNoBoxAtAll) {
    EXPECT_TRUE(Run("installer", "yes").empty());
    EXPECT_TRUE(Run("uninstaller", "yes").empty());
}

TEST_F(SetupProgram, UninstallWithoutRegistrationLeavesTheFiles) {
    AddUsers({"Ada"});
    fs::create_directories(AppDir("Ada"));
    WriteAll(AppDir("Ada") / "Cameras.txt", "camera\n");
    EXPECT_EQ(Run("uninstaller", "yes"),
              (std::vector<Box>{
                  {"Lensfolio: Uninstaller", RemovePrompt("Ada"), kPromptStyle, kYes},
                  {"Lensfolio: Conduit Error", "Could not remove conduit!", "16", kOk}}));
    EXPECT_TRUE(fs::exists(AppDir("Ada") / "Cameras.txt"));
}

}  // namespace
