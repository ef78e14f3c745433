// Both copy directions through OpenConduit and the stand-in: what lands on
// each side, and what every failure leaves behind.
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "conduit_fixture.h"
#include "copy.h"
#include "standin.h"
#include "stdio_faults.h"

namespace {

const int32_t kInjected = 0x4444;

const std::string kF3Body = Body({"Nikon F3", "Nikon", "35mm SLR", "1980", "2001", "Titanium shutter",
                                  "", "", "", "1", "8"});
const std::string kF3Line = "Nikon F3\tNikon\t35mm SLR\t1980\t2001\tTitanium shutter\t\t\t\t1\t8\tN\t1\tN\tN\n";
const std::string kLeicaBody = Body({"Leica M6", "Leica", "Rangefinder", "1984", "2002", "", "400", "",
                                     "", "0", "10"});
const std::string kLeicaLine = "Leica M6\tLeica\tRangefinder\t1984\t2002\t\t400\t\t\t0\t10\tY\t12\tN\tN\n";
const std::string kGoneBody = Body({"Kodak Brownie", "Kodak", "", "", "", "", "", "", "", "0", "None"});
const std::string kOldBody = Body({"Olympus OM-1", "Olympus", "", "", "", "", "", "", "", "1", "5"});
const std::string kOldLine = "Olympus OM-1\tOlympus\t\t\t\t\t\t\t\t1\t5\tN\t15\tN\tN\n";

// Live, secret, deleted, archived and dirty records in several categories.
const std::vector<HandheldRecord> kHandheld = {
    {0x00, 1, kF3Body},
    {0x10, 12, kLeicaBody},
    {0x80, 0, kGoneBody},
    {0x88, 0, kGoneBody},
    {0x40, 15, kOldBody},
};
const std::string kExported = kF3Line + kLeicaLine + kOldLine;
const std::string kOldCameras = "Previous list\tkept\n";

// The records the export leaves on the handheld: deleted and archived ones
// purged, dirty marks cleared.
const std::vector<HandheldRecord> kTidied = {
    {0x00, 1, kF3Body}, {0x10, 12, kLeicaBody}, {0x00, 15, kOldBody}};

bool Contains(const std::vector<LogLine> &lines, const LogLine &line) {
    for (const LogLine &l : lines)
        if (l == line) return true;
    return false;
}

class CopyTest : public ConduitTest {
protected:
    int32_t SyncWithFaults(int32_t syncType) {
        ArmStdioFaults(DesktopDir());
        int32_t status = Sync(syncType);
        ArmStdioFaults("");
        EXPECT_EQ(OpenStdioFiles(), 0) << "a desktop file was left open";
        EXPECT_EQ(StandinOpenDatabaseCount(), 0) << "the database was left open";
        return status;
    }
};

// ---- Handheld to desktop ------------------------------------------------------

TEST_F(CopyTest, ExportWritesLiveRecordsThenTidiesTheHandheld) {
    MakeDatabase(kHandheld);
    WriteAll(CamerasPath(), kOldCameras);
    EXPECT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    EXPECT_EQ(ReadAll(CamerasPath()), kExported);
    EXPECT_FALSE(std::filesystem::exists(TempPath()));
    EXPECT_EQ(ReadDatabase(), kTidied);
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""}, {20, "Lenfol"}}));
}

TEST_F(CopyTest, ExportOfAnEmptyDatabaseLeavesAnEmptyFile) {
    MakeDatabase({{0x80, 0, kGoneBody}, {0x88, 0, kGoneBody}});
    WriteAll(CamerasPath(), kOldCameras);
    EXPECT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    EXPECT_TRUE(std::filesystem::exists(CamerasPath()));
    EXPECT_EQ(ReadAll(CamerasPath()), "");
    EXPECT_TRUE(ReadDatabase().empty());
}

TEST_F(CopyTest, ExportNeverCreatesAMissingDatabase) {
    WriteAll(CamerasPath(), kOldCameras);
    EXPECT_EQ(Sync(kSyncTypeHandheldToDesktop), kSyncErrDatabaseMissing);
    EXPECT_EQ(ReadAll(CamerasPath()), kOldCameras);
    EXPECT_FALSE(std::filesystem::exists(DatabasePath()));
    EXPECT_EQ(StandinCallCount("SyncCreateDB"), 0);
}

TEST_F(CopyTest, ExportKeepsLongBodiesWholeAndCutsOnlyColumnSix) {
    const std::string note1024(1024, 'n');
    const std::string note1500(1500, 'm');
    MakeDatabase({{0, 3, Body({"A", "B", "", "", "", note1024, "", "", "", "1", "2"})},
                  {0, 4, Body({"C", "D", "", "", "", note1500, "", "", "", "0", "3"})}});
    EXPECT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    EXPECT_EQ(ReadAll(CamerasPath()),
              "A\tB\t\t\t\t" + note1024 + "\t\t\t\t1\t2\tN\t3\tN\tN\n" +
              "C\tD\t\t\t\t" + note1500.substr(0, 1024) + "\t\t\t\t0\t3\tN\t4\tN\tN\n");
}

struct FaultCase {
    const char *operation;
    // What a run whose nth call of the operation fails must leave.
    enum Outcome { kBeforeReplace, kAfterReplace, kClose, kRegister, kHarmless } outcome;
    int32_t status;  // what OpenConduit returns
    std::string logLine;  // the error line; a printf pattern with the file path for %s
};

void PrintTo(const FaultCase &c, std::ostream *out) { *out << c.operation; }

std::string OperationName(const ::testing::TestParamInfo<FaultCase> &info) {
    return info.param.operation;
}

class FaultSweepTest : public CopyTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    // HotSyncs of `syncType` from kHandheld and `cameras`, call 1, 2, 3 ... of
    // the case's operation failing, until a run injects nothing. Checks what
    // each run returned and logged (`logPath` fills the case's log pattern)
    // and has `sides(outcome, nth)` check what it left on the desktop and the
    // handheld; the run that injected nothing must leave what a harmless
    // failure leaves.
    void Sweep(int32_t syncType, const std::string &cameras, const std::string &logPath,
               const std::function<void(FaultCase::Outcome, int)> &sides) {
        const FaultCase &c = GetParam();
        MakeDatabase(kHandheld);
        originalPdb_ = ReadAll(DatabasePath());
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE(testing::Message() << c.operation << " call " << nth);
            WriteAll(CamerasPath(), cameras);
            std::filesystem::remove(DatabasePath());
            WriteAll(DatabasePath(), originalPdb_);
            StandinClearLog();
            StandinClearFaults();
            StandinFailCall(c.operation, nth, kInjected, 0);
            const int32_t status = SyncWithFaults(syncType);
            const bool injected = StandinInjectedCount() > 0;
            const int32_t answered = AnsweredStatus(kInjected);
            StandinClearFaults();
            if (!injected) {
                EXPECT_GT(nth, 1) << "the operation was never called";
                EXPECT_EQ(status, 0);
                sides(FaultCase::kHarmless, nth);
                return;
            }
            EXPECT_EQ(status, c.status == kInjected ? answered : c.status);
            ExpectLogged(status, logPath);
            sides(c.outcome, nth);
        }
    }

    // A failing register call logs nothing; every other run ends on its
    // success or failure line, after the case's error line.
    void ExpectLogged(int32_t status, const std::string &logPath) {
        const FaultCase &c = GetParam();
        const std::vector<LogLine> log = LogLines();
        if (c.outcome == FaultCase::kRegister) {
            EXPECT_TRUE(log.empty());
            return;
        }
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), (LogLine{status == 0 ? 20 : 21, "Lenfol"}));
        if (c.logLine.empty()) return;
        char expectedLine[1024];
        std::snprintf(expectedLine, sizeof expectedLine, c.logLine.c_str(), logPath.c_str());
        EXPECT_TRUE(Contains(log, {22, expectedLine})) << expectedLine;
    }

    std::string originalPdb_;
};

using ExportFaultTest = FaultSweepTest;

// The desktop list is either untouched or complete, never partial; the
// handheld is tidied only once the list landed.
TEST_P(ExportFaultTest, EveryFailureLeavesBothSidesWhole) {
    Sweep(kSyncTypeHandheldToDesktop, kOldCameras, TempPath(), [&](FaultCase::Outcome outcome, int) {
        EXPECT_FALSE(std::filesystem::exists(TempPath()));
        const bool listed = outcome != FaultCase::kBeforeReplace && outcome != FaultCase::kRegister;
        EXPECT_EQ(ReadAll(CamerasPath()), listed ? kExported : kOldCameras);
        if (outcome == FaultCase::kBeforeReplace) {
            EXPECT_EQ(ReadAll(DatabasePath()), originalPdb_) << "the handheld changed";
        } else if (outcome == FaultCase::kHarmless) {
            EXPECT_EQ(ReadDatabase(), kTidied);
        }
    });
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ExportFaultTest,
    ::testing::Values(
        FaultCase{"SyncRegisterConduit", FaultCase::kRegister, kInjected, ""},
        FaultCase{"SyncOpenDB", FaultCase::kBeforeReplace, kInjected, "SyncOpenDB failed"},
        FaultCase{"fopen", FaultCase::kBeforeReplace, kConduitErrDesktopFile, "fopen(%s) failed"},
        FaultCase{"SyncGetDBRecordCount", FaultCase::kBeforeReplace, kInjected,
                  "SyncGetDBRecordCount failed"},
        FaultCase{"SyncReadRecordByIndex", FaultCase::kBeforeReplace, kInjected,
                  "SyncReadRecordByIndex failed"},
        FaultCase{"fwrite", FaultCase::kBeforeReplace, kConduitErrDesktopFile,
                  "WriteCustomerToFile failed"},
        FaultCase{"fclose", FaultCase::kBeforeReplace, kConduitErrDesktopFile, "fclose(%s) failed"},
        FaultCase{"SyncPurgeDeletedRecs", FaultCase::kAfterReplace, 0, "SyncPurgeDeletedRecs failed"},
        FaultCase{"SyncResetSyncFlags", FaultCase::kAfterReplace, 0, "SyncResetSyncFlags failed"},
        FaultCase{"SyncCloseDB", FaultCase::kClose, kInjected, "SyncDBClose failed"},
        FaultCase{"SyncUnRegisterConduit", FaultCase::kHarmless, 0, ""}),
    OperationName);

TEST_F(CopyTest, FailedReplacementKeepsTheOldListAndTheHandheld) {
    MakeDatabase(kHandheld);
    const std::string originalPdb = ReadAll(DatabasePath());
    WriteAll(CamerasPath(), kOldCameras);
    StandinFailCall("MoveFileExA", 1, 0, 0);  // a Windows call fails with 0
    EXPECT_EQ(SyncWithFaults(kSyncTypeHandheldToDesktop), kConduitErrDesktopFile);
    EXPECT_EQ(ReadAll(CamerasPath()), kOldCameras);
    EXPECT_FALSE(std::filesystem::exists(TempPath()));
    EXPECT_EQ(ReadAll(DatabasePath()), originalPdb);
    const std::vector<LogLine> log = LogLines();
    EXPECT_TRUE(Contains(log, {22, "MoveFileExA(" + CamerasPath() + ") failed"}));
    EXPECT_EQ(log.back(), (LogLine{21, "Lenfol"}));
}

// ---- Desktop to handheld ------------------------------------------------------

const std::string kDesktopList =
    kF3Line +                                                             // live
    "Leica M6\tLeica\tRangefinder\t1984\t2002\t\t400\t\t\t0\t10\tY\t12\tN\tN\r\n" +  // secret, CR LF
    "Kodak Brownie\tKodak\t\t\t\t\t\t\t\t0\tNone\tN\t0\tN\tY\n" +         // deleted: no record
    "Olympus OM-1\tOlympus\t\t\t\t\t\t\t\t1\t5\ty\t15\tY\ty\n" +          // lower-case y: not deleted
    "Pentax K1000\tPentax\n";                                             // short line, no bad values

const std::vector<HandheldRecord> kImported = {
    {0x00, 1, kF3Body},
    {0x10, 12, kLeicaBody},
    {0x00, 15, kOldBody},
    {0x00, 0, Body({"Pentax K1000", "Pentax", "", "", "", "", "", "", "", "0", "None"})},
};

TEST_F(CopyTest, ImportReplacesTheHandheldWithTheListInOrder) {
    MakeDatabase({{0, 2, Body({"stale", "x"})}, {0x80, 0, kGoneBody}});
    WriteAll(CamerasPath(), kDesktopList);
    EXPECT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(ReadDatabase(), kImported);
    EXPECT_EQ(ReadAll(CamerasPath()), kDesktopList) << "the import never changes the list";
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""}, {20, "Lenfol"}}));
}

TEST_F(CopyTest, ImportCreatesAMissingDatabase) {
    WriteAll(CamerasPath(), kDesktopList);
    EXPECT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(ReadDatabase(), kImported);
    EXPECT_EQ(LogLines(),
              (std::vector<LogLine>{{19, ""}, {22, "SyncOpenDB failed"}, {20, "Lenfol"}}));
    const std::string pdb = ReadAll(DatabasePath());
    ASSERT_GE(pdb.size(), 78u);
    EXPECT_EQ(pdb.substr(0, 9), std::string("LenfolDB\0", 9));
    EXPECT_EQ(pdb.substr(60, 8), "ItemLnFo") << "type and creator";
}

TEST_F(CopyTest, ImportWithoutTheListLeavesTheHandheldAsItWas) {
    MakeDatabase(kHandheld);
    const std::string originalPdb = ReadAll(DatabasePath());
    EXPECT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(ReadAll(DatabasePath()), originalPdb);
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""},
                                                {22, CamerasPath() + " was not there: Synced Stopped"},
                                                {20, "Lenfol"}}));
}

TEST_F(CopyTest, ImportWithoutListOrDatabaseLeavesAnEmptyNewDatabase) {
    EXPECT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_TRUE(std::filesystem::exists(DatabasePath()));
    EXPECT_TRUE(ReadDatabase().empty());
}

TEST_F(CopyTest, ImportOfAnEmptyListEmptiesTheHandheld) {
    MakeDatabase(kHandheld);
    WriteAll(CamerasPath(), "");
    EXPECT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_TRUE(ReadDatabase().empty());
}

TEST_F(CopyTest, FailedCreationIsReturned) {
    WriteAll(CamerasPath(), kDesktopList);
    StandinFailCall("SyncCreateDB", 1, kInjected, 0);
    const int32_t status = SyncWithFaults(kSyncTypeDesktopToHandheld);
    EXPECT_EQ(status, AnsweredStatus(kInjected));
    EXPECT_FALSE(std::filesystem::exists(DatabasePath()));
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""},
                                                {22, "SyncOpenDB failed"},
                                                {22, "SyncCreateDB failed"},
                                                {21, "Lenfol"}}));
}

using ImportFaultTest = FaultSweepTest;

// Records written before a failure stay; the HotSync reports every failure
// that left the handheld short of the list.
TEST_P(ImportFaultTest, EveryFailureIsReportedAndTheListIsUntouched) {
    const std::string operation = GetParam().operation;
    const auto sides = [&](FaultCase::Outcome outcome, int nth) {
        EXPECT_EQ(ReadAll(CamerasPath()), kDesktopList);
        const bool writing = outcome == FaultCase::kBeforeReplace && operation != "SyncOpenDB" &&
                             operation != "SyncPurgeAllRecs";
        if (outcome == FaultCase::kHarmless) {
            EXPECT_EQ(ReadDatabase(), kImported);
        } else if (writing) {  // the records written before the failure, in order
            const std::vector<HandheldRecord> now = ReadDatabase();
            ASSERT_LE(now.size(), kImported.size());
            EXPECT_EQ(now, std::vector<HandheldRecord>(kImported.begin(),
                                                       kImported.begin() + now.size()));
            if (operation == "SyncWriteRec") {
                EXPECT_EQ(now.size(), size_t(nth - 1));
            }
        } else if (outcome != FaultCase::kClose) {
            EXPECT_EQ(ReadAll(DatabasePath()), originalPdb_) << "the handheld changed";
        }
    };
    Sweep(kSyncTypeDesktopToHandheld, kDesktopList, CamerasPath(), sides);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ImportFaultTest,
    ::testing::Values(
        FaultCase{"SyncRegisterConduit", FaultCase::kRegister, kInjected, ""},
        FaultCase{"SyncOpenDB", FaultCase::kBeforeReplace, kInjected, "SyncOpenDB failed"},
        FaultCase{"fopen", FaultCase::kAfterReplace, 0, "%s was not there: Synced Stopped"},
        FaultCase{"SyncPurgeAllRecs", FaultCase::kBeforeReplace, kInjected, "SyncPurgeAllRecs failed"},
        FaultCase{"fgets", FaultCase::kBeforeReplace, kConduitErrDesktopFile,
                  "ReadCameraFromFile failed"},
        FaultCase{"SyncWriteRec", FaultCase::kBeforeReplace, kInjected, "SyncWriteRec failed"},
        FaultCase{"SyncCloseDB", FaultCase::kClose, kInjected, "SyncDBClose failed"},
        FaultCase{"fclose", FaultCase::kHarmless, 0, ""},
        FaultCase{"SyncUnRegisterConduit", FaultCase::kHarmless, 0, ""}),
    OperationName);

// ---- Both ways ------------------------------------------------------------------

TEST_F(CopyTest, ExportThenImportIntoAFreshDatabaseKeepsEveryLiveRecord) {
    MakeDatabase(kHandheld);
    ASSERT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    std::filesystem::remove(DatabasePath());
    ASSERT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(ReadDatabase(), kTidied);
}

TEST_F(CopyTest, FullDatabaseGoesBothWays) {
    std::vector<HandheldRecord> records;
    std::string expected;
    for (int i = 0; i < 65535; ++i) {
        const std::string name = "Camera " + std::to_string(i);
        records.push_back({0, static_cast<int16_t>(i % 16), Body({name, "Maker", "", "", "", "", "", "",
                                                                   "", "1", "None"})});
        expected += name + "\tMaker\t\t\t\t\t\t\t\t1\tNone\tN\t" + std::to_string(i % 16) + "\tN\tN\n";
    }
    MakeDatabase(records);
    ASSERT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    EXPECT_EQ(ReadAll(CamerasPath()), expected);
    std::filesystem::remove(DatabasePath());
    ASSERT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(ReadDatabase(), records);
}

// ---- Desktop directories that leave no room for the file name -------------------

class LongPathTest : public CopyTest, public ::testing::WithParamInterface<std::tuple<int32_t, size_t>> {};

TEST_P(LongPathTest, FailsBeforeAnythingIsOpened) {
    const auto [syncType, length] = GetParam();
    SyncProperties properties{};
    properties.syncType = syncType;
    std::memset(properties.pathName, 'd', length);
    properties.pathName[0] = '/';
    EXPECT_EQ(Lenfol().openConduit(nullptr, &properties), kConduitErrDesktopFile);
    EXPECT_EQ(StandinCallCount("SyncOpenDB"), 0);
    const std::vector<LogLine> log = LogLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].activity, 22);
    EXPECT_EQ(log[1].text.rfind("Path too long for Cameras.txt: /ddd", 0), 0u) << log[1].text;
    EXPECT_EQ(log[2], (LogLine{21, "Lenfol"}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongPathTest,
                         ::testing::Combine(::testing::Values(kSyncTypeHandheldToDesktop,
                                                              kSyncTypeDesktopToHandheld),
                                            ::testing::Values(501, 511, 600,
                                                              sizeof(SyncProperties::pathName))));

TEST_F(CopyTest, DirectoryOf500CharactersStillHoldsTheList) {
    std::string dir = root_;
    while (dir.size() < 499) dir += "/" + std::string(std::min<size_t>(200, 499 - dir.size() - 1), 'x');
    dir += "/";
    ASSERT_EQ(dir.size(), 500u);
    std::filesystem::create_directories(dir);
    WriteAll(dir + "Cameras.txt", kF3Line);
    SyncProperties properties{};
    properties.syncType = kSyncTypeDesktopToHandheld;
    std::memcpy(properties.pathName, dir.data(), dir.size());
    EXPECT_EQ(Lenfol().openConduit(nullptr, &properties), 0);
    EXPECT_EQ(ReadDatabase(), (std::vector<HandheldRecord>{{0, 1, kF3Body}}));
}

}  // namespace
