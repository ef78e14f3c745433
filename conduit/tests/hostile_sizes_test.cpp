// Sizes and layouts no ordinary HotSync brings: a 1 MiB line in Cameras.txt,
// handheld bodies at and past what one read delivers, bodies without
// terminators, and handheld databases whose record offsets point past the end
// of the file or overlap.
#include <cstring>
#include <string>
#include <vector>

#include "camera_record.h"
#include "conduit_fixture.h"
#include "copy.h"
#include "standin.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;
// One read of a line takes at most this many bytes.
constexpr size_t kPiece = 65999;
// The most body bytes one record read delivers.
constexpr size_t kDelivered = 65535;

// ---- A 1 MiB line in Cameras.txt ------------------------------------------------

// Piece k of the long line: a whole camera whose tail of TABs and padding
// fills the piece to `length` bytes. The 16th column (the padding) is ignored.
std::string Piece(size_t k, size_t length, const char *deleted) {
    std::string piece = "Cam " + std::to_string(k) + "\tMaker " + std::to_string(k) + "\t\t\t\t" +
                        std::string(1500, 'x') + "\t\t\t\t1\t5\tY\t3\tN\t" + deleted + "\t";
    piece.resize(length, 'z');
    return piece;
}

class ImportHostileTest : public ConduitTest {};

TEST_F(ImportHostileTest, OneMebibyteLineBecomesOneRecordPerPiece) {
    const size_t fullPieces = kMiB / kPiece;           // 15
    const size_t lastPiece = kMiB - fullPieces * kPiece;  // 58591
    const size_t deletedPiece = 7;
    std::string line;
    std::vector<HandheldRecord> expected;
    for (size_t k = 0; k <= fullPieces; ++k) {
        line += Piece(k, k < fullPieces ? kPiece : lastPiece, k == deletedPiece ? "Y" : "N");
        if (k == deletedPiece) continue;
        expected.push_back({0x10, 3,
                            Body({"Cam " + std::to_string(k), "Maker " + std::to_string(k), "", "", "",
                                  std::string(1024, 'x'), "", "", "", "1", "5"})});
    }
    ASSERT_EQ(line.size(), kMiB);
    line += "\n";
    WriteAll(CamerasPath(), line + "Last\tOne\n");
    expected.push_back({0, 0, Body({"Last", "One", "", "", "", "", "", "", "", "0", "None"})});
    MakeDatabase({{0, 1, Body({"stale"})}});

    EXPECT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(ReadDatabase(), expected);
    EXPECT_EQ(ReadAll(CamerasPath()), line + "Last\tOne\n");
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""}, {20, "Lenfol"}}));
}

// ---- Bodies at and past what one read delivers, and without terminators ------------

struct BodyCase {
    const char *name;
    size_t column6;         // bytes of column 6 in Body(...), or
    size_t unterminated;    // a body of this many 'u' bytes without a NUL
    const char *lineTail;   // the exported line after column 6
};

void PrintTo(const BodyCase &c, std::ostream *out) { *out << c.name; }

// "Big", "Maker", three empty columns, column 6, "P7", "P8", "P9", "1", "10".
constexpr size_t kBodyAround6 = 4 + 6 + 3 + 1 + 3 + 3 + 3 + 2 + 3;

std::string CaseBody(const BodyCase &c) {
    if (c.unterminated > 0 || c.column6 == 0) return std::string(c.unterminated, 'u');
    return Body({"Big", "Maker", "", "", "", std::string(c.column6, 'x'), "P7", "P8", "P9", "1", "10"});
}

const BodyCase kBodyCases[] = {
    // The largest body one read delivers whole.
    {"Whole65535", kDelivered - kBodyAround6, 0, "\tP7\tP8\tP9\t1\t10\tN\t4\tN\tN\n"},
    // One byte more: the last NUL stays behind; column 11 ends with the delivered bytes.
    {"LastNulCut65536", kDelivered + 1 - kBodyAround6, 0, "\tP7\tP8\tP9\t1\t10\tN\t4\tN\tN\n"},
    {"Column11Cut65537", kDelivered + 2 - kBodyAround6, 0, "\tP7\tP8\tP9\t1\t1\tN\t4\tN\tN\n"},
    {"Column11Missing65538", kDelivered + 3 - kBodyAround6, 0, "\tP7\tP8\tP9\t1\t \tN\t4\tN\tN\n"},
    // Column 6 of 1 MiB: the delivered bytes end inside it; nothing after it arrives.
    {"Column6OfOneMebibyte", kMiB, 0, "\t\t\t\t \t \tN\t4\tN\tN\n"},
    // No terminator at all: everything is column 1, cut to its 45 bytes.
    {"NoTerminators100", 0, 100, "\t\t\t\t \t \tN\t4\tN\tN\n"},
    {"NoTerminators65535", 0, kDelivered, "\t\t\t\t \t \tN\t4\tN\tN\n"},
    {"NoTerminatorsOneMebibyte", 0, kMiB, "\t\t\t\t \t \tN\t4\tN\tN\n"},
    {"EmptyBody", 0, 0, "\t\t\t\t \t \tN\t4\tN\tN\n"},
};

std::string LineHead(const BodyCase &c) {
    if (c.column6 > 0) return "Big\tMaker\t\t\t\t" + std::string(1024, 'x');
    return (c.unterminated > 0 ? std::string(std::min<size_t>(c.unterminated, 45), 'u') : " ") + "\t \t\t\t\t";
}

class ExportHostileTest : public ConduitTest, public ::testing::WithParamInterface<BodyCase> {
protected:
    // Runs the export with this program's own LineBuffer, whose bytes past
    // the delivered ones hold terminated texts: an unpacker that read past
    // the delivered body would take them as columns.
    int32_t ExportWithPoisonedBuffer() {
        const char poison[] = "QQQ\0Q7\0Q8\0Q9\0" "0\0Q11";
        for (size_t at = kDelivered; at + sizeof poison <= kLineBufferSize; at += sizeof poison)
            std::memcpy(LineBuffer + at, poison, sizeof poison);
        SyncProperties properties{};
        properties.syncType = kSyncTypeHandheldToDesktop;
        std::strcpy(properties.pathName, DesktopDir().c_str());
        ConduitHandle handle = 0;
        EXPECT_EQ(SyncRegisterConduit(&handle), 0);
        const int32_t status = CopyHandheldToDesktop(&properties);
        SyncUnRegisterConduit(handle);
        return status;
    }
};

// Hostile mode may refuse a body larger than one read, which the export then
// reports with the read's status, touching nothing.
bool Refused(const BodyCase &c, int32_t status) {
    return StandinHostile() && status != 0 && status == StandinLastFailure() &&
           CaseBody(c).size() > kDelivered;
}

// Hostile mode may also leave the record size unreported; a body shorter than
// one read that does not end in a NUL then runs on into the junk the read left
// after it, which has no NUL either: only column 1 may take it in.
bool RunsIntoJunk(const BodyCase &c) {
    const std::string body = CaseBody(c);
    return StandinHostile() && body.size() < kDelivered && (body.empty() || body.back() != '\0');
}

void ExpectExported(const BodyCase &c, const std::string &file, const std::string &expected) {
    if (!RunsIntoJunk(c)) {
        EXPECT_EQ(file, expected);
        return;
    }
    const std::string afterColumn1 = expected.substr(expected.find('\t'));
    ASSERT_GE(file.size(), afterColumn1.size()) << file;
    EXPECT_EQ(file.substr(file.size() - afterColumn1.size()), afterColumn1);
    EXPECT_LE(file.size() - afterColumn1.size(), 45u) << "column 1 is 45 bytes wide";
}

TEST_P(ExportHostileTest, ReadsOnlyTheDeliveredBytes) {
    const BodyCase &c = GetParam();
    MakeDatabase({{0, 4, CaseBody(c)}, {0x10, 1, Body({"After", "It"})}});
    const int32_t status = ExportWithPoisonedBuffer();
    EXPECT_FALSE(std::filesystem::exists(TempPath()));
    if (Refused(c, status)) {
        EXPECT_FALSE(std::filesystem::exists(CamerasPath()));
        return;
    }
    EXPECT_EQ(status, 0);
    ExpectExported(c, ReadAll(CamerasPath()),
                   LineHead(c) + c.lineTail + "After\tIt\t\t\t\t\t\t\t\t \t \tY\t1\tN\tN\n");
}

TEST_P(ExportHostileTest, WholeHotSyncKeepsTheRecordAndImportsItCut) {
    const BodyCase &c = GetParam();
    MakeDatabase({{0, 4, CaseBody(c)}});
    const int32_t status = Sync(kSyncTypeHandheldToDesktop);
    if (Refused(c, status)) {
        EXPECT_FALSE(std::filesystem::exists(CamerasPath()));
        return;
    }
    ASSERT_EQ(status, 0);
    const std::string exported = ReadAll(CamerasPath());
    ExpectExported(c, exported, LineHead(c) + c.lineTail);
    ASSERT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    const std::vector<HandheldRecord> now = ReadDatabase();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].category, 4);
    EXPECT_LE(now[0].body.size(), 1198u) << "a body from a line is at most 1198 bytes";
    ASSERT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    // Junk taken into column 1 need not read back as itself.
    if (!RunsIntoJunk(c)) {
        EXPECT_EQ(ReadAll(CamerasPath()).substr(0, LineHead(c).size()), LineHead(c));
    }
}

INSTANTIATE_TEST_SUITE_P(Bodies, ExportHostileTest, ::testing::ValuesIn(kBodyCases),
                         [](const ::testing::TestParamInfo<BodyCase> &info) { return std::string(info.param.name); });

// ---- Handheld databases whose offsets point past the end or overlap --------------------

using Damage = void (*)(std::string *pdb);

uint32_t Get32(const std::string &b, size_t at) {
    return uint32_t{uint8_t(b[at])} << 24 | uint32_t{uint8_t(b[at + 1])} << 16 |
           uint32_t{uint8_t(b[at + 2])} << 8 | uint8_t(b[at + 3]);
}

void Set32(std::string *b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

constexpr size_t kEntries = 78;  // the record entry list, 8 bytes each

struct DamageCase {
    const char *name;
    Damage apply;
};

void PrintTo(const DamageCase &c, std::ostream *out) { *out << c.name; }

const DamageCase kDamages[] = {
    {"LastOffsetPastTheEnd", [](std::string *b) { Set32(b, kEntries + 16, uint32_t(b->size() + 1)); }},
    {"FirstOffsetFarPastTheEnd", [](std::string *b) { Set32(b, kEntries, 0xFFFFFFF0u); }},
    {"SecondOverlapsTheFirst", [](std::string *b) { Set32(b, kEntries + 8, Get32(*b, kEntries) - 1); }},
    {"ThirdOverlapsTheSecond", [](std::string *b) { Set32(b, kEntries + 16, Get32(*b, kEntries + 8) - 3); }},
    {"FirstOverlapsTheEntryList", [](std::string *b) { Set32(b, kEntries, kEntries + 4); }},
    {"FirstOverlapsTheHeader", [](std::string *b) { Set32(b, kEntries, 8); }},
    {"EntryListPastTheEnd", [](std::string *b) { (*b)[76] = char(0x7F); }},
    {"AppInfoOverlapsTheEntryList", [](std::string *b) { Set32(b, 52, kEntries + 8); }},
    {"AppInfoPastTheEnd", [](std::string *b) { Set32(b, 52, uint32_t(b->size() + 100)); }},
};

class CorruptDatabaseTest : public ConduitTest,
                            public ::testing::WithParamInterface<std::tuple<DamageCase, int32_t>> {};

TEST_P(CorruptDatabaseTest, RefusedAndNothingChanges) {
    const auto &[damage, syncType] = GetParam();
    MakeDatabase({{0, 1, Body({"One", "A"})}, {0x10, 2, Body({"Two", "B"})}, {0, 3, Body({"Three", "C"})}});
    std::string pdb = ReadAll(DatabasePath());
    ASSERT_EQ(uint8_t(pdb[77]), 3u);
    damage.apply(&pdb);
    WriteAll(DatabasePath(), pdb);
    const std::string cameras = "Kept\tList\n";
    WriteAll(CamerasPath(), cameras);
    StandinClearLog();

    const int32_t status = Sync(syncType);
    EXPECT_EQ(status, AnsweredStatus(kStandinErrCorrupt));
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""}, {22, "SyncOpenDB failed"}, {21, "Lenfol"}}));
    EXPECT_EQ(ReadAll(CamerasPath()), cameras);
    EXPECT_FALSE(std::filesystem::exists(TempPath()));
    EXPECT_EQ(ReadAll(DatabasePath()), pdb);
    EXPECT_EQ(StandinCallCount("SyncCreateDB"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, CorruptDatabaseTest,
    ::testing::Combine(::testing::ValuesIn(kDamages),
                       ::testing::Values(kSyncTypeHandheldToDesktop, kSyncTypeDesktopToHandheld)),
    [](const ::testing::TestParamInfo<std::tuple<DamageCase, int32_t>> &info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == kSyncTypeHandheldToDesktop ? "Export" : "Import");
    });

}  // namespace
