// restore: a HotSync in the wrong direction undone on both sides, the list,
// the dry run, what a HotSync keeps, and the errors that change nothing.
#include <filesystem>

#include "host_fixture.h"

namespace fs = std::filesystem;

namespace {

class HotsyncRestore : public HostTest {
protected:
    // A week of work on each side: the list edited on the desktop; on the
    // handheld a camera changed (dirty) and one deleted.
    void SetUp() override {
        HostTest::SetUp();
        InitUser();
        RegisterConduit();
        WriteCameras({Camera("Nikon F"), Camera("Leica M3", "Y", "12")});
        SaveHandheld({Record(Camera("Olympus OM-1", "N", "2"), kPdbRecDirty | 2, 1),
                      Record(Camera("Praktica MTL 5"), kPdbRecDeleted, 2),
                      Record(Camera("Ricoh GR1"), kPdbRecSecret | 4, 3)});
        desktop_ = ReadAll(CamerasPath());
        handheld_ = ReadAll(HandheldDb());
    }

    void Sync(const std::string &type, const std::vector<std::string> &more = {}) {
        std::vector<std::string> args{"sync", "--type", type};
        args.insert(args.end(), more.begin(), more.end());
        ProcessResult r = Hotsync(args);
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }

    std::string desktop_;
    std::string handheld_;
};

TEST_F(HotsyncRestore, ToDesktopByMistakeIsUndoneOnBothSides) {
    Sync("2");
    ASSERT_NE(ReadAll(CamerasPath()), desktop_);
    ASSERT_EQ(LoadHandheld().records.size(), 2u);

    ProcessResult r = Hotsync({"restore"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadAll(CamerasPath()), desktop_);
    EXPECT_EQ(ReadAll(HandheldDb()), handheld_);
    PdbDatabase db = LoadHandheld();
    ASSERT_EQ(db.records.size(), 3u);
    EXPECT_EQ(db.records[0].attributes, kPdbRecDirty | 2);
    EXPECT_EQ(db.records[1].attributes, kPdbRecDeleted);

    ProcessResult again = Hotsync({"restore"});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("nothing to restore"), std::string::npos) << again.err;
}

TEST_F(HotsyncRestore, ListShowsNewestFirstAndEachRestoreGoesOneHotSyncBack) {
    // The handheld in a folder of its own, as --handheld gives it to both verbs.
    const std::string palm = scratch_ + "/palm";
    fs::create_directories(palm);
    fs::rename(HandheldDb(), palm + "/LenfolDB.pdb");
    const std::vector<std::string> handheld{"--handheld", palm};
    Sync("3", handheld);
    const std::string imported = ReadAll(palm + "/LenfolDB.pdb");
    WriteCameras({Camera("Canon AE-1")});
    const std::string edited = ReadAll(CamerasPath());
    Sync("2", handheld);  // the import left no dirty marks: only Cameras.txt changes

    ProcessResult list = Hotsync({"restore", "--list"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::vector<std::string> lines = Lines(list.out);
    ASSERT_EQ(lines.size(), 5u) << list.out;
    EXPECT_NE(lines[1].find("LnFo: handheld overwrites desktop (type 2)"), std::string::npos);
    EXPECT_NE(lines[2].find("Lenfol/Cameras.txt"), std::string::npos);
    EXPECT_NE(lines[2].find(" " + std::to_string(edited.size()) + " bytes"), std::string::npos);
    EXPECT_NE(lines[3].find("LnFo: desktop overwrites handheld (type 3)"), std::string::npos);
    EXPECT_NE(lines[4].find("handheld/LenfolDB.pdb"), std::string::npos);
    EXPECT_NE(lines[4].find(" " + std::to_string(handheld_.size()) + " bytes"), std::string::npos);

    ASSERT_EQ(Hotsync({"restore", "--handheld", palm}).exitCode, 0);
    EXPECT_EQ(ReadAll(CamerasPath()), edited);
    // As the import left it but for the header's dates, which the export set.
    EXPECT_EQ(ReadAll(palm + "/LenfolDB.pdb").substr(52), imported.substr(52));
    ProcessResult r = Hotsync({"restore", "--handheld", palm});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAll(palm + "/LenfolDB.pdb"), handheld_);
    EXPECT_EQ(ReadAll(CamerasPath()), edited);
    EXPECT_EQ(Lines(Hotsync({"restore", "--list"}).out).size(), 1u);
}

TEST_F(HotsyncRestore, AHotSyncKeepsOnlyWhatItChanges) {
    Sync("6");
    EXPECT_FALSE(fs::exists(BackupDir()));
    Sync("2");
    ASSERT_EQ(BackupStamps().size(), 1u);
    EXPECT_EQ(ListTree(BackupDir() + "/" + BackupStamps()[0]),
              (std::vector<std::string>{"Cameras.txt", "LenfolDB.pdb", "manifest.ini"}));
    // Once more: the same Cameras.txt, and a handheld with nothing left to tidy.
    Sync("2");
    EXPECT_EQ(BackupStamps().size(), 1u);
}

TEST_F(HotsyncRestore, QueuedFileReplacingAHandheldFileIsKept) {
    const std::string installed = UserDir() + "/handheld/Lenfol.prc";
    WriteAll(installed, "the version before");
    const std::string queued = scratch_ + "/Lenfol.prc";
    fs::copy_file(LENFOL_PRC, queued);
    ASSERT_EQ(standin::AppendQueue(root_, {"Ada Lovelace", 1, "AdaLovelace"}, queued), 0);
    Sync("6");
    ASSERT_EQ(ReadAll(installed), ReadAll(queued));
    ProcessResult r = Hotsync({"restore"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAll(installed), "the version before");
}

TEST_F(HotsyncRestore, DryRunShowsWhatComesBackAndChangesNothing) {
    Sync("2");
    const auto before = Snapshot();
    ProcessResult r = Hotsync({"restore", "--dry-run"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Snapshot(), before);
    EXPECT_NE(r.out.find("+ line 1: Nikon F"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("- line 1: Olympus OM-1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("+ #1 deleted: Praktica MTL 5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 modified mark(s) would be set"), std::string::npos) << r.out;
}

// ---- Errors: exit 2, and every file as it was

struct Breakage {
    const char *name;
    void (*apply)(const std::string &userDir, const std::string &backup);
    const char *message;
};

class HotsyncRestoreError : public HotsyncRestore, public ::testing::WithParamInterface<Breakage> {};

TEST_P(HotsyncRestoreError, SaysWhyAndChangesNothing) {
    Sync("2");
    ASSERT_EQ(BackupStamps().size(), 1u);
    GetParam().apply(UserDir(), BackupDir() + "/" + BackupStamps()[0]);
    const auto before = Snapshot();
    ProcessResult r = Hotsync({"restore"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HotsyncRestoreError,
    ::testing::Values(
        Breakage{"NothingKept", [](const std::string &, const std::string &b) { fs::remove_all(b); },
                 "nothing to restore"},
        Breakage{"CopyMissing",
                 [](const std::string &, const std::string &b) { fs::remove(b + "/Cameras.txt"); },
                 "the copy Cameras.txt of Lenfol/Cameras.txt is missing"},
        Breakage{"CopyCut", [](const std::string &, const std::string &b) { WriteAll(b + "/Cameras.txt", "N"); },
                 "the copy Cameras.txt holds 1 bytes"},
        Breakage{"PdbGarbled",
                 [](const std::string &, const std::string &b) {
                     WriteAll(b + "/LenfolDB.pdb", std::string(ReadAll(b + "/LenfolDB.pdb").size(), 'x'));
                 },
                 "the copy LenfolDB.pdb is not a valid Palm database file"},
        Breakage{"ManifestGarbled",
                 [](const std::string &, const std::string &b) { WriteAll(b + "/manifest.ini", "[file]\n"); },
                 "is damaged: manifest.ini does not start with the [HotSync] time"},
        Breakage{"DesktopGone", [](const std::string &u, const std::string &) { fs::remove_all(u + "/Lenfol"); },
                 "/Lenfol is gone"},
        Breakage{"HandheldGone",
                 [](const std::string &u, const std::string &) { fs::remove_all(u + "/handheld"); },
                 "the handheld directory"}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
