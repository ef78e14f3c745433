// show and log: a handheld database and the HotSync log as the user reads them.
#include "host_fixture.h"

namespace {

// The output line that holds `key`, or "".
std::string LineWith(const std::string &output, const std::string &key) {
    for (const std::string &line : Lines(output)) {
        if (line.find(key) != std::string::npos) return line;
    }
    return std::string();
}

class HotsyncShow : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        InitUser();
    }
};

TEST_F(HotsyncShow, TableSpellsOutIdsAttributesAndCategories) {
    SaveHandheld({Record(Camera("Nikon F"), 2, 0x10),
                  Record(Camera("Ricoh GR1"), kPdbRecSecret | kPdbRecDirty | 5, 0x11),
                  Record(Camera("Praktica"), kPdbRecDeleted | kPdbRecArchive, 0x12),
                  Record(Camera("Voigtl\xE4nder"), 15, 0xABCDEF)});
    ProcessResult r = Hotsync({"show", "LenfolDB"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("4 record(s)"), std::string::npos) << r.out;
    struct Expected {
        const char *id, *attributes, *category, *name;
    } rows[] = {{"0x000010", " - ", "  2  ", "Nikon F"},
                {"0x000011", "secret,dirty", "  5  ", "Ricoh GR1"},
                {"0x000012", "deleted,archived", "  -  ", "Praktica"},
                {"0xABCDEF", " - ", "  15 ", "Voigtl\xC3\xA4nder"}};
    for (const Expected &row : rows) {
        SCOPED_TRACE(row.id);
        std::string line = LineWith(r.out, row.id);
        EXPECT_NE(line.find(row.attributes), std::string::npos) << line;
        EXPECT_NE(line.find(row.category), std::string::npos) << line;
        EXPECT_NE(line.find(row.name), std::string::npos) << line;
        EXPECT_NE(line.find("Maker of"), std::string::npos) << line;
    }
    ProcessResult plain = Hotsync({"show", "LenfolDB"}, {{"LC_ALL", "C"}});
    EXPECT_NE(LineWith(plain.out, "0xABCDEF").find("Voigtl\xE4nder"), std::string::npos);
}

TEST_F(HotsyncShow, FullShowsEveryFieldWhole) {
    auto camera = Camera("Leica M3");
    camera[5] = std::string(1000, 'n');
    PdbRecord record;
    record.body = BodyBytes(camera);
    SaveHandheld({record});
    ProcessResult r = Hotsync({"show", "--full", "LenfolDB"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" 6 Note    " + camera[5] + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("11 Rating  7\n"), std::string::npos) << r.out;
}

TEST_F(HotsyncShow, AFileNeedsNoUser) {
    HostTest::TearDown();
    HostTest::SetUp();
    ProcessResult r = Hotsync({"show", SAMPLES_DIR "/LenfolDB.pdb"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("type Item, creator LnFo"), std::string::npos) << r.out;
    EXPECT_NE(LineWith(r.out, "Leica M6").find("secret"), std::string::npos) << r.out;
}

TEST_F(HotsyncShow, MissingDatabaseIsNamed) {
    ProcessResult r = Hotsync({"show", "LenfolDB"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no database file " + HandheldDb()), std::string::npos) << r.err;
}

class HotsyncLog : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        InitUser();
        RegisterConduit();
    }
};

TEST_F(HotsyncLog, ListsEntriesWithActivityCodes) {
    WriteCameras({Camera("Nikon F")});
    ASSERT_EQ(Hotsync({"sync", "--type", "3"}).exitCode, 0);
    ASSERT_EQ(Hotsync({"sync", "--type", "6"}).exitCode, 0);

    ProcessResult all = Hotsync({"log"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(LineWith(all.out, "SyncOpenDB failed").find("22  error"), std::string::npos) << all.out;
    const std::string end = LineWith(all.out, "end OK");
    EXPECT_NE(end.find("20  end OK"), std::string::npos) << all.out;
    EXPECT_NE(end.find("Lenfol"), std::string::npos) << all.out;
    EXPECT_NE(LineWith(all.out, "sync configured to Do Nothing").find("-1  note"), std::string::npos)
        << all.out;
    EXPECT_NE(LineWith(all.out, "HotSync started").find("100"), std::string::npos) << all.out;

    ProcessResult last = Hotsync({"log", "--last"});
    ASSERT_EQ(last.exitCode, 0);
    EXPECT_NE(last.out.find("Do Nothing"), std::string::npos) << last.out;
    EXPECT_EQ(last.out.find("SyncOpenDB failed"), std::string::npos) << last.out;
}

TEST_F(HotsyncLog, SaysSoWhenThereIsNoLogYet) {
    ProcessResult r = Hotsync({"log"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("No HotSync log yet for \"Ada Lovelace\""), std::string::npos) << r.out;
}

}  // namespace
