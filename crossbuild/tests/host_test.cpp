// hotsync.exe, the Windows build of the host, run under Wine as a user runs
// it: a HotSync directory made with init, Lenfol.dll registered, the sample
// Cameras.txt synced to the handheld, shown there and synced back. The
// conduit's imports are answered by the stand-in DLLs next to this test,
// the same hotsync.dll the host itself links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "process.h"
#include "desktop.h"
#include "files.h"
#include "records.h"
#include "root.h"

namespace {

namespace fs = std::filesystem;

const std::string kHotsync = std::string(LENFOL_DLL_DIR) + "\\hotsync.exe";
const std::string kLenfolDll = std::string(LENFOL_DLL_DIR) + "\\Lenfol.dll";
enum { kModifiedColumn = 13, kDeletedColumn = 14 };

std::string Join(const std::vector<std::string> &parts, char separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i ? std::string(1, separator) : "") + parts[i];
    return text;
}

// What the Linux host writes back after a trip of `sample` through the
// handheld: the live cameras, each no longer marked modified.
std::vector<std::vector<std::string>> LiveCameras(const std::string &sample) {
    std::vector<std::vector<std::string>> cameras;
    for (const std::string &line : Lines(sample)) {
        std::vector<std::string> columns = Split(line, '\t');
        if (columns.size() <= kDeletedColumn || columns[kDeletedColumn] == "Y") continue;
        columns[kModifiedColumn] = "N";
        cameras.push_back(columns);
    }
    return cameras;
}

// The first column of every record block of "show --full".
std::vector<std::string> ShownNames(const std::string &shown) {
    const std::string label = "   1 Name ";
    std::vector<std::string> names;
    for (const std::string &line : Lines(shown)) {
        if (line.compare(0, label.size(), label) != 0) continue;
        size_t start = line.find_first_not_of(' ', label.size());
        names.push_back(start == std::string::npos ? "" : line.substr(start));
    }
    return names;
}

class HotsyncExe : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(scratch_.empty()); }

    ProcessResult Hotsync(std::vector<std::string> args) {
        args.insert(args.begin(), {"--root", root_});
        return RunChild(kHotsync, args, scratch_ + "\\hotsync");
    }

    // init for one user, then Lenfol registered as the installer registers it.
    void InitWithConduit(const std::string &library) {
        ProcessResult init = Hotsync({"init", "--user", "Ada Lovelace"});
        ASSERT_EQ(init.exitCode, 0) << init.out << init.err;
        std::vector<standin::UserEntry> users;
        ASSERT_EQ(standin::LoadUsers(root_, &users), 0);
        ASSERT_EQ(users.size(), 1u);
        userDir_ = root_ + "\\" + users[0].directory;
        ASSERT_EQ(standin::SaveConduits(root_, {LenfolRegistration(library)}), 0);
        ASSERT_TRUE(fs::create_directories(Desktop()));
    }

    std::string Desktop() const { return userDir_ + "\\Lenfol"; }
    std::string Cameras() const { return Desktop() + "\\Cameras.txt"; }

    ScratchDir scratchDir_{"host-scratch", fs::current_path()};
    const std::string scratch_ = scratchDir_.Path();
    const std::string root_ = scratch_ + "\\root";
    std::string userDir_;
};

TEST_F(HotsyncExe, SyncsTheSampleBothWaysAsTheLinuxHostDoes) {
    ASSERT_NO_FATAL_FAILURE(InitWithConduit(kLenfolDll));
    const std::string sample = ReadAll(LENSFOLIO_SAMPLE_CAMERAS);
    const std::vector<std::vector<std::string>> live = LiveCameras(sample);
    ASSERT_GT(live.size(), 1u);
    ASSERT_LT(live.size(), Lines(sample).size()) << "the sample should hold a deleted camera";
    fs::copy_file(LENSFOLIO_SAMPLE_CAMERAS, Cameras());

    ProcessResult toHandheld = Hotsync({"sync", "--type", "3"});
    ASSERT_EQ(toHandheld.exitCode, 0) << toHandheld.out << toHandheld.err;
    EXPECT_NE(toHandheld.out.find("Lenfol (LnFo): desktop overwrites handheld (type 3)"),
              std::string::npos)
        << toHandheld.out;

    ProcessResult shown = Hotsync({"show", "LenfolDB", "--full"});
    ASSERT_EQ(shown.exitCode, 0) << shown.out << shown.err;
    EXPECT_NE(shown.out.find(std::to_string(live.size()) + " record(s)"), std::string::npos)
        << shown.out.substr(0, 200);
    std::vector<std::string> names;
    for (const auto &camera : live) names.push_back(camera[0]);
    EXPECT_EQ(ShownNames(shown.out), names);

    ASSERT_TRUE(fs::remove(Cameras()));
    ProcessResult toDesktop = Hotsync({"sync", "--type", "2"});
    ASSERT_EQ(toDesktop.exitCode, 0) << toDesktop.out << toDesktop.err;
    const std::string written = ReadAll(Cameras());
    std::vector<std::string> expected;
    for (const auto &camera : live) expected.push_back(Join(camera, '\t'));
    EXPECT_EQ(Lines(written), expected);
    // A Windows text file: every line ends in CR LF.
    EXPECT_EQ(Split(written, '\n').size() - 1, expected.size());
    EXPECT_EQ(Split(written, '\r').size() - 1, expected.size());

    // check reads the file back through a scratch stream; the dry run syncs
    // copies in a scratch folder of its own.
    ProcessResult checked = Hotsync({"check", Cameras()});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("reads back unchanged"), std::string::npos) << checked.out;
    const std::string handheld = ReadAll(userDir_ + "\\handheld\\LenfolDB.pdb");
    ProcessResult dryRun = Hotsync({"sync", "--type", "3", "--dry-run"});
    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.out << dryRun.err;
    EXPECT_NE(dryRun.out.find(std::to_string(live.size()) + " record(s) afterwards"),
              std::string::npos)
        << dryRun.out;
    EXPECT_EQ(ReadAll(userDir_ + "\\handheld\\LenfolDB.pdb"), handheld);
}

// check reads as the conduit does, in binary: a Ctrl-Z inside the list is
// text, where a Windows text stream would end the file.
TEST_F(HotsyncExe, CheckReadsACtrlZInsideTheListAsText) {
    const std::string path = scratch_ + "\\Cameras.txt";
    WriteAll(path, CameraLine(Camera("Ctrl\x1AZ")) + CameraLine(Camera("Nikon F")));
    ProcessResult checked = Hotsync({"check", path});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("2 line(s), 2 camera(s); reads back unchanged"), std::string::npos)
        << checked.out;
}

TEST_F(HotsyncExe, ALibraryThatDoesNotLoadFailsTheSyncAndIsNamed) {
    const std::string missing = scratch_ + "\\NoSuch.dll";
    ASSERT_NO_FATAL_FAILURE(InitWithConduit(missing));
    ProcessResult sync = Hotsync({"sync", "--type", "3"});
    EXPECT_EQ(sync.exitCode, 1) << sync.out << sync.err;
    EXPECT_NE(sync.err.find("cannot load the conduit"), std::string::npos) << sync.err;
    EXPECT_NE(sync.err.find("NoSuch.dll"), std::string::npos) << sync.err;
}

}  // namespace
