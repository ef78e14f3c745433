// check: every way a Cameras.txt reads back differently, reported by line and
// column, and the exit code that says whether it does.
#include "host_fixture.h"

namespace {

std::string WithColumn(size_t index, const std::string &value) {
    auto columns = Camera("Nikon F");
    columns[index] = value;
    return CameraLine(columns);
}

std::string Columns(size_t count) {
    auto columns = Camera("Nikon F");
    columns.resize(count, "extra");
    return CameraLine(columns);
}

struct CheckCase {
    const char *name;
    std::string content;
    int exitCode;
    std::string report;  // expected in the output after "<file>:"
    std::string absent = "";  // when set, not in the output
};

class HotsyncCheck : public HostTest, public ::testing::WithParamInterface<CheckCase> {
protected:
    ProcessResult Check(const std::string &content, const Environment &env = {}) {
        const std::string path = scratch_ + "/Cameras.txt";
        WriteAll(path, content);
        ProcessResult r = Hotsync({"check", path}, env);
        file_ = path;
        return r;
    }
    std::string file_;
};

TEST_P(HotsyncCheck, ReportsByLineAndColumn) {
    const CheckCase &c = GetParam();
    ProcessResult r = Check(c.content);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_NE(r.out.find(file_ + ":" + c.report), std::string::npos) << r.out;
    if (!c.absent.empty()) {
        EXPECT_EQ(r.out.find(c.absent), std::string::npos) << r.out;
    }
}

const std::string kGood = CameraLine(Camera("Nikon F")) + CameraLine(Camera("Leica M3", "Y", "12"));
const std::string kEndMark = "\x1A";  // Ctrl-Z
const std::string kNoLastLineFeed = kGood.substr(0, kGood.size() - 1);

INSTANTIATE_TEST_SUITE_P(
    Files, HotsyncCheck,
    ::testing::Values(
        CheckCase{"Good", kGood, 0, " 2 line(s), 2 camera(s); reads back unchanged"},
        CheckCase{"CrLfLineEnds", "Nikon F\tNikon\tSLR\t\t\t\t\t\t\t1\t7\tN\t0\tN\tN\r\n", 0,
                  " 1 line(s), 1 camera(s); reads back unchanged"},
        CheckCase{"NoLastLineFeed", kNoLastLineFeed, 0, " 2 line(s)"},
        CheckCase{"DeletedIsANote", CameraLine(Camera("Zenit-E", "N", "2", "Y")), 0,
                  "1: note: marked deleted"},
        CheckCase{"Utf8IsANote", WithColumn(0, "Voigtl\xC3\xA4nder"), 0,
                  "1: note: holds UTF-8 byte sequences"},
        CheckCase{"LongName", WithColumn(0, std::string(50, 'N')), 1,
                  "1: column 1 (column1): longer than 45 bytes; cut to \"" + std::string(45, 'N') + "\""},
        CheckCase{"LongNote", WithColumn(5, std::string(1500, 'n')), 1,
                  "1: column 6 (column6): longer than 1024 bytes"},
        CheckCase{"FlagCut", WithColumn(11, "Yes"), 1,
                  "1: column 12 (privateFlag): longer than 1 byte; cut to \"Y\""},
        CheckCase{"LowerCaseFlag", WithColumn(11, "y"), 1,
                  "1: column 12 (privateFlag): \"y\" is not Y or N; reads as \"N\""},
        CheckCase{"Category16", WithColumn(12, "16"), 1,
                  "1: column 13 (category): \"16\" is not 0 to 15; reads as \"0\""},
        CheckCase{"Rating11", WithColumn(10, "11"), 1,
                  "1: column 11 (column11): \"11\" is not 1 to 10 or None; reads as \"None\""},
        CheckCase{"Owned2", WithColumn(9, "2"), 1, "1: column 10 (column10): \"2\" is not 0 or 1"},
        CheckCase{"EmptyName", WithColumn(0, ""), 1,
                  "1: column 1 (column1): empty; written back as one space"},
        CheckCase{"FewerColumns", Columns(14), 1, "1: 14 columns, 15 expected"},
        CheckCase{"MoreColumns", Columns(17), 1,
                  "1: 17 columns, 15 expected; everything after column 15 is ignored"},
        CheckCase{"EmptyLine", kGood + "\n", 1, "3: empty line"},
        CheckCase{"Nul", WithColumn(2, std::string("SL\0R", 4)), 1, "1: column 3: NUL byte"},
        CheckCase{"LoneCr", WithColumn(5, "two\rlines"), 1,
                  "1: column 6 (column6): carriage return without a line feed"},
        CheckCase{"LongLine", WithColumn(5, std::string(70000, 'n')), 1,
                  "1: 70" /* bytes long */},
        CheckCase{"LaterLine", kGood + WithColumn(12, "x"), 1, "3: column 13 (category)"},
        CheckCase{"CrCutAwayIsOnlyACut", WithColumn(9, "0\r"), 1,
                  "1: column 10 (column10): longer than 1 byte; cut to \"0\"", "carriage return"},
        CheckCase{"EndMarkAfterTheLastLineIsANote", kGood + kEndMark, 0,
                  "3: note: \"\\x1A\" at the end of the file is an end mark", "problem"},
        CheckCase{"EndMarkEndingTheLastLineIsANote", kNoLastLineFeed + kEndMark, 0,
                  "2: note: \"\\x1A\" at the end of the file is an end mark", "cut to"},
        CheckCase{"CtrlZInsideALineIsText", WithColumn(5, "a" + kEndMark + "b") + kGood, 0,
                  " 3 line(s), 3 camera(s); reads back unchanged", "end mark"},
        CheckCase{"CtrlZBeforeTheLastLineFeedIsText", kNoLastLineFeed + kEndMark + "\n", 1,
                  "2: column 15 (deletedFlag): longer than 1 byte; cut to \"N\"", "end mark"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HotsyncCheck, LongLineIsReadInPiecesEachACamera) {
    ProcessResult r = Check(WithColumn(5, std::string(70000, 'n')));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("so it reads as 2 cameras"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(":1 (part 2 of 2): 10 columns, 15 expected"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 line(s), 2 camera(s)"), std::string::npos) << r.out;
}

TEST_F(HotsyncCheck, ShowsWindows1252AsUtf8OnlyOnAUtf8Terminal) {
    const std::string name = "\xC9" + std::string(49, 'x');  // E acute, 50 bytes
    ProcessResult utf8 = Check(WithColumn(0, name));
    EXPECT_NE(utf8.out.find("cut to \"\xC3\x89xxx"), std::string::npos) << utf8.out;
    ProcessResult plain = Check(WithColumn(0, name), {{"LC_ALL", "C"}});
    EXPECT_NE(plain.out.find("cut to \"\xC9xxx"), std::string::npos) << plain.out;
}

TEST_F(HotsyncCheck, TheSampleFileReadsBackUnchanged) {
    ProcessResult r = Hotsync({"check", SAMPLES_DIR "/Cameras.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
}

TEST_F(HotsyncCheck, MissingFileIsAnError) {
    ProcessResult r = Hotsync({"check", scratch_ + "/nope.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no file " + scratch_ + "/nope.txt"), std::string::npos) << r.err;
}

}  // namespace
