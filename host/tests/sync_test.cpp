// sync: both directions through the built conduit, install queue, backups,
// damaged handheld files and the dry run.
#include <filesystem>

#include "host_fixture.h"

namespace fs = std::filesystem;

namespace {

class HotsyncSync : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        InitUser();
        RegisterConduit();
    }
};

TEST_F(HotsyncSync, DesktopToHandheldWritesOneRecordPerLiveLine) {
    auto plain = Camera("Nikon F");
    auto secret = Camera("Leica M3", "Y", "12");
    auto deleted = Camera("Zenit-E", "N", "2", "Y");
    auto accented = Camera("Voigtl\xE4nder Bessa", "N", "3");
    WriteCameras({plain, secret, deleted, accented});

    ProcessResult r = Hotsync({"sync", "--type", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("desktop overwrites handheld (type 3)"), std::string::npos) << r.out;

    PdbDatabase db = LoadHandheld();
    EXPECT_EQ(PdbName(db), "LenfolDB");
    EXPECT_EQ(db.creator, 0x4C6E466Fu);
    ASSERT_EQ(db.records.size(), 3u);
    const std::vector<std::string> *expected[] = {&plain, &secret, &accented};
    const uint8_t attributes[] = {1, kPdbRecSecret | 12, 3};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(db.records[i].body, BodyBytes(*expected[i]));
        EXPECT_EQ(db.records[i].attributes, attributes[i]);
    }
    auto log = LogEntries();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[log.size() - 2], (LogLine{20, "Lenfol"}));
}

TEST_F(HotsyncSync, HandheldToDesktopWritesEveryLiveRecordAndTidiesTheHandheld) {
    auto live = Camera("Olympus OM-1", "N", "2");
    auto secret = Camera("Ricoh GR1", "N", "4");
    auto gone = Camera("Praktica MTL 5");
    auto archived = Camera("Agfa Optima");
    SaveHandheld({Record(live, kPdbRecDirty | 2, 1), Record(secret, kPdbRecSecret | 4, 2),
                  Record(gone, kPdbRecDeleted, 3),
                  Record(archived, kPdbRecDeleted | kPdbRecArchive, 4)});
    WriteAll(CamerasPath(), "stale line\n");

    ProcessResult r = Hotsync({"sync", "--type", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    auto secretLine = secret;
    secretLine[11] = "Y";
    EXPECT_EQ(ReadAll(CamerasPath()), CameraLine(live) + CameraLine(secretLine));
    PdbDatabase db = LoadHandheld();
    ASSERT_EQ(db.records.size(), 2u);
    for (const PdbRecord &record : db.records) EXPECT_EQ(record.attributes & kPdbRecDirty, 0);
}

TEST_F(HotsyncSync, BothDirectionsGiveTheSameFileBack) {
    WriteCameras({Camera("Canon AE-1", "N", "2"), Camera("Hasselblad 500C/M", "Y", "15")});
    const std::string before = ReadAll(CamerasPath());
    ASSERT_EQ(Hotsync({"sync", "--type", "3"}).exitCode, 0);
    fs::remove(CamerasPath());
    ProcessResult r = Hotsync({"sync", "--type", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAll(CamerasPath()), before);
}

TEST_F(HotsyncSync, QueuedFilesAreInstalledAndAMissingOneIsOnlyLogged) {
    const std::string present = scratch_ + "/Lenfol.prc";
    fs::copy_file(LENFOL_PRC, present);
    const std::string missing = scratch_ + "/Gone.prc";
    standin::UserEntry user{"Ada Lovelace", 1, "AdaLovelace"};
    ASSERT_EQ(standin::AppendQueue(root_, user, missing), 0);
    ASSERT_EQ(standin::AppendQueue(root_, user, present), 0);
    WriteCameras({Camera("Nikon F")});

    ProcessResult r = Hotsync({"sync", "--type", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadAll(UserDir() + "/handheld/Lenfol.prc"), ReadAll(present));
    EXPECT_FALSE(fs::exists(standin::QueuePath(root_, user)));
    EXPECT_EQ(LoadHandheld().records.size(), 1u);
    bool logged = false;
    for (const auto &entry : LogEntries()) {
        logged |= entry.activity == 103 &&
                  entry.text == "Could not install " + missing + ": file not found";
    }
    EXPECT_TRUE(logged) << ReadAll(LogPath());
}

TEST_F(HotsyncSync, MissingConduitLibraryFailsTheSyncAndNamesIt) {
    const std::string library = scratch_ + "\\nowhere\\Lenfol.dll";
    ASSERT_EQ(standin::SaveConduits(root_, {LenfolRegistration(library)}), 0);
    ProcessResult r = Hotsync({"sync"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(scratch_ + "/nowhere/Lenfol.dll"), std::string::npos) << r.err;
}

TEST_F(HotsyncSync, NoProgressLineWhenNotATerminal) {
    std::vector<std::vector<std::string>> cameras;
    for (int i = 0; i < 50; ++i) cameras.push_back(Camera("Camera " + std::to_string(i)));
    WriteCameras(cameras);
    ProcessResult r = Hotsync({"sync", "--type", "3"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("record"), std::string::npos) << r.err;
}

// ---- Damaged handheld databases

struct Damage {
    const char *name;
    std::string bytes;
};

class HotsyncCorrupt : public HotsyncSync, public ::testing::WithParamInterface<Damage> {};

TEST_P(HotsyncCorrupt, SyncAndShowSayWhichFileIsCorrupt) {
    WriteAll(HandheldDb(), GetParam().bytes);
    WriteCameras({Camera("Nikon F")});
    const std::string desktop = ReadAll(CamerasPath());

    ProcessResult r = Hotsync({"sync", "--type", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(HandheldDb() + " is corrupt"), std::string::npos) << r.err;
    EXPECT_EQ(ReadAll(CamerasPath()), desktop);

    ProcessResult shown = Hotsync({"show", "LenfolDB"});
    EXPECT_EQ(shown.exitCode, 2);
    EXPECT_NE(shown.err.find(HandheldDb() + " is corrupt"), std::string::npos) << shown.err;
}

std::string HeaderClaimingRecords() {
    std::string header(78, '\0');
    header.replace(0, 8, "LenfolDB");
    header[77] = 5;  // five records, no entry list
    return header;
}

INSTANTIATE_TEST_SUITE_P(Files, HotsyncCorrupt,
                         ::testing::Values(Damage{"Empty", ""},
                                           Damage{"ShortHeader", std::string(40, 'x')},
                                           Damage{"MissingEntries", HeaderClaimingRecords()}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Backups

TEST_F(HotsyncSync, BackupsBeforeOverwritingKeepTheNewestFive) {
    std::vector<std::vector<std::string>> cameras;
    for (int run = 1; run <= 7; ++run) {
        cameras.push_back(Camera("Camera " + std::to_string(run)));
        WriteCameras(cameras);
        ProcessResult r = Hotsync({"sync", "--type", "3"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The first run had no database to back up; runs 2 to 7 saved the
    // handheld holding 1 to 6 records, of which the last five stay, each in
    // the folder of its HotSync and alone there, since Cameras.txt was only read.
    std::vector<size_t> counts;
    for (const std::string &stamp : BackupStamps()) {
        const std::string dir = BackupDir() + "/" + stamp;
        PdbDatabase db;
        ASSERT_EQ(PdbLoad(dir + "/LenfolDB.pdb", &db), 0) << dir;
        EXPECT_EQ(ListTree(dir), (std::vector<std::string>{"LenfolDB.pdb", "manifest.ini"}));
        counts.push_back(db.records.size());
    }
    EXPECT_EQ(counts, (std::vector<size_t>{2, 3, 4, 5, 6}));
}

TEST_F(HotsyncSync, NoBackupWhenTheHandheldIsOnlyRead) {
    SaveHandheld({Record(Camera("Nikon F"), 0, 1)});
    ASSERT_EQ(Hotsync({"sync", "--type", "2"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(UserDir() + "/backup"));
}

// ---- Dry run

TEST_F(HotsyncSync, DryRunReportsTheChangesAndTouchesNothing) {
    SaveHandheld({Record(Camera("Old Camera"), kPdbRecDirty | 1, 1)});
    WriteCameras({Camera("Nikon F"), Camera("Leica M3", "Y", "1")});
    WriteAll(UserDir() + "/sync.ini", "[LnFo]\ndefault = 2\nonce = 3\n");
    standin::UserEntry user{"Ada Lovelace", 1, "AdaLovelace"};
    ASSERT_EQ(standin::AppendQueue(root_, user, scratch_ + "/Missing.prc"), 0);
    const auto before = Snapshot();

    ProcessResult r = Hotsync({"sync", "--dry-run"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Snapshot(), before);
    EXPECT_NE(r.out.find("- #0 cat 1: Old Camera"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("+ #0 cat 1: Nikon F"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("+ #1 cat 1 secret: Leica M3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Not installed: " + scratch_ + "/Missing.prc"), std::string::npos);

    ProcessResult back = Hotsync({"sync", "--dry-run", "--type", "2"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(Snapshot(), before);
    EXPECT_NE(back.out.find("- line 1: Nikon F"), std::string::npos) << back.out;
    EXPECT_NE(back.out.find("+ line 1: Old Camera"), std::string::npos) << back.out;
    EXPECT_NE(back.out.find("1 modified mark(s) would be cleared"), std::string::npos);
}

}  // namespace
