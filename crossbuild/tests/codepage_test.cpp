// A user whose directory name needs the ANSI code page, from install to
// uninstall: the setup programs, then Lenfol.dll loaded from where the
// installer put it, a HotSync each way, the uninstaller. The test program
// leaves the C runtime in the "C" locale, as a HotSync Manager built with
// another runtime does; LENSFOLIO_HOST_LOCALE=system sets it from the system
// first, as hotsync.exe does. Wine takes the ANSI code page from LANG;
// LENSFOLIO_CODE_PAGE names the one the run must have.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "desktop.h"
#include "files.h"
#include "os.h"
#include "pdb.h"
#include "platform.h"
#include "process.h"
#include "standin.h"

// platform.h declares its Windows calls with plain types, so <windows.h>
// cannot come in; these are declared the same way.
extern "C" {
void *WIN_CALL LoadLibraryA(const char *path);
void *WIN_CALL GetProcAddress(void *module, const char *name);
int32_t WIN_CALL FreeLibrary(void *module);
uint32_t WIN_CALL GetACP(void);
int32_t WIN_CALL MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char *text,
                                     int32_t length, wchar_t *wide, int32_t wideLength);
int32_t WIN_CALL SetEnvironmentVariableA(const char *name, const char *value);
}

namespace {

struct AnsiUser {
    uint32_t codePage;
    const char *directory;  // in that code page
    const wchar_t *letters;  // what it reads as there
};

// Letters beyond Latin-1 in each; in 932 the second byte of 表 is a backslash.
const AnsiUser kUsers[] = {
    {1252, "Zo\xEB\x8Aimek", L"Zo\u00EB\u0160imek"},
    {1250, "Ji\xF8\xED", L"Ji\u0159\u00ED"},
    {1251, "\xC8\xE2\xE0\xED", L"\u0418\u0432\u0430\u043D"},
    {932, "\x95\x5C\x8C\x76\x8E\x5A", L"\u8868\u8A08\u7B97"},
};

std::string Env(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::wstring Letters(const std::string &text) {
    std::wstring wide(text.size(), L'\0');
    const int32_t n = MultiByteToWideChar(0 /* CP_ACP */, 0, text.data(),
                                          static_cast<int32_t>(text.size()), &wide[0],
                                          static_cast<int32_t>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
}

// Files named in the ANSI code page, whatever locale the runtime is in.
std::filesystem::path Ansi(const std::string &path) { return standin::os::FsPath(path); }

std::vector<std::string> Tree(const std::string &directory) { return ListTree(Ansi(directory)); }

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class AnsiUserLife : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string expected = Env("LENSFOLIO_CODE_PAGE");
        if (!expected.empty()) {
            ASSERT_EQ(std::to_string(GetACP()), expected) << "LANG gave Wine another code page";
        }
        for (const AnsiUser &u : kUsers) {
            if (u.codePage == GetACP()) user_ = &u;
        }
        if (user_ == nullptr) GTEST_SKIP() << "no user for code page " << GetACP();
        ASSERT_EQ(Letters(user_->directory), user_->letters);
        if (Env("LENSFOLIO_HOST_LOCALE") == "system") {
            ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
        }
        ASSERT_FALSE(scratch_.empty());
        ASSERT_TRUE(std::filesystem::create_directories(Ansi(Distribution())));
        WriteAll(Ansi(Distribution() + "\\Lenfol.dll"), ReadAll(std::string(LENFOL_DLL_DIR) + "\\Lenfol.dll"));
        WriteAll(Ansi(Distribution() + "\\Lenfol.prc"), "handheld application");
        AddUserDir(Root(), user_->directory, 7, user_->directory);
    }

    std::string Root() const { return scratch_ + "\\HotSync"; }
    std::string Distribution() const { return scratch_ + "\\Lensfolio"; }
    std::string Dir() const { return user_->directory; }
    std::string AppDir() const { return Root() + "\\" + Dir() + "\\Lenfol"; }

    void RunSetup(const std::string &program) {
        SetEnvironmentVariableA("HOTSYNC_ROOT", Root().c_str());
        SetEnvironmentVariableA("HOTSYNC_ANSWERS", "yes");
        const std::string exe = std::filesystem::current_path().string() + "\\" + program + "_scripted.exe";
        const ProcessResult run = RunChild(exe, {}, scratch_ + "\\" + program, Distribution());
        ASSERT_EQ(run.exitCode, 0) << program << run.out << run.err;
    }

    int32_t Sync(OpenConduitFn openConduit, int32_t syncType) {
        SyncProperties properties{};
        properties.syncType = syncType;
        std::snprintf(properties.pathName, sizeof properties.pathName, "%s\\", AppDir().c_str());
        StandinClearLog();
        return openConduit(nullptr, &properties);
    }

    const AnsiUser *user_ = nullptr;
    ScratchDir scratchDir_{"codepage-scratch", std::filesystem::current_path()};
    const std::string scratch_ = scratchDir_.Path();
};

using Log = std::vector<LogLine>;

TEST_F(AnsiUserLife, InstallBothDirectionsUninstall) {
    const std::string dir = Dir() + "\\";
    RunSetup("installer");
    EXPECT_EQ(Tree(Root()), Sorted({"conduits.ini", "users.ini", Dir(), dir + "Lenfol",
                                    dir + "Lenfol\\Conduit", dir + "Lenfol\\Conduit\\Lenfol.dll",
                                    dir + "install.queue"}));
    const std::string library = AppDir() + "\\Conduit\\Lenfol.dll";
    EXPECT_NE(ReadAll(Ansi(Root() + "\\conduits.ini")).find("creatorName = " + library),
              std::string::npos);
    EXPECT_NE(ReadAll(Ansi(Root() + "\\" + dir + "install.queue")).find(Distribution() + "\\Lenfol.prc"),
              std::string::npos);

    void *module = LoadLibraryA(library.c_str());
    ASSERT_NE(module, nullptr) << "the installed Lenfol.dll did not load";
    auto openConduit = reinterpret_cast<OpenConduitFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "OpenConduit")));
    ASSERT_NE(openConduit, nullptr);
    const std::string handheld = Root() + "\\" + dir + "handheld";
    ASSERT_TRUE(std::filesystem::create_directory(Ansi(handheld)));
    StandinSetHandheldDir(handheld.c_str());
    const std::string cameras = AppDir() + "\\Cameras.txt";
    const std::vector<std::string> list = {Dir() + " F3\tNikon", "Leica M6\t" + Dir()};
    WriteAll(Ansi(cameras), list[0] + "\r\n" + list[1] + "\r\n");

    EXPECT_EQ(Sync(openConduit, kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(LogLines(), (Log{{kLogActivityStart, ""},
                               {kLogActivityError, "SyncOpenDB failed"},
                               {kLogActivityEndSuccess, "Lenfol"}}));
    PdbDatabase db;
    ASSERT_EQ(PdbLoad(handheld + "\\LenfolDB.pdb", &db), 0);
    EXPECT_EQ(db.records.size(), list.size());

    ASSERT_TRUE(std::filesystem::remove(Ansi(cameras)));
    EXPECT_EQ(Sync(openConduit, kSyncTypeHandheldToDesktop), 0);
    EXPECT_EQ(LogLines(), (Log{{kLogActivityStart, ""}, {kLogActivityEndSuccess, "Lenfol"}}));
    const std::vector<std::string> lines = Lines(ReadAll(Ansi(cameras)));
    ASSERT_EQ(lines.size(), list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const std::vector<std::string> columns = Split(lines[i], '\t');
        ASSERT_GE(columns.size(), 2u) << lines[i];
        EXPECT_EQ(columns[0] + "\t" + columns[1], list[i]);
    }
    EXPECT_EQ(Tree(AppDir()), (std::vector<std::string>{"Cameras.txt", "Conduit",
                                                        "Conduit\\Lenfol.dll"}));
    EXPECT_NE(FreeLibrary(module), 0);

    RunSetup("uninstaller");
    EXPECT_EQ(ReadAll(Ansi(Root() + "\\conduits.ini")).find("[LnFo]"), std::string::npos);
    EXPECT_EQ(Tree(Root()), Sorted({"conduits.ini", "users.ini", Dir(), dir + "handheld",
                                    dir + "handheld\\LenfolDB.pdb", dir + "install.queue"}));
}

}  // namespace
