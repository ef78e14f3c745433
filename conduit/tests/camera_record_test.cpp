// The line reader and writer of the camera record.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "camera_record.h"
#include "record_support.h"
#include "rules.h"

namespace {




// What a line feed alone reads as.
Columns EmptyLine() {
    return {"", "", "", "", "", "", "", "", "", "0", "None", "N", "0", "N", "N"};
}

Columns With(std::vector<std::pair<int, std::string>> changes) {
    Columns columns = EmptyLine();
    for (auto &change : changes) columns[change.first] = change.second;
    return columns;
}

FilePtr FileWith(const std::string &bytes) {
    FilePtr file(std::tmpfile(), &std::fclose);
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        std::rewind(file.get());
    }
    return file;
}

std::vector<Columns> ReadAll(FILE *file) {
    std::vector<Columns> records;
    while (RecordPtr record{ReadCameraFromFile(file), &FreeCameraRecord}) {
        records.push_back(ColumnsOf(record.get()));
    }
    return records;
}

std::string Line(const Columns &columns) {
    std::string line;
    for (size_t i = 0; i < kCameraColumnCount; ++i) line += columns[i] + (i + 1 < kCameraColumnCount ? "\t" : "\n");
    return line;
}

// ---- Reader: one line in, fifteen columns out ------------------------------

struct ReadCase {
    const char *name;
    std::string input;
    Columns expected;
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

const std::string kFullLine = "a\tb\tc\td\te\tf\tg\th\ti\t1\t10\tY\t12\tY\tY";
const Columns kFullColumns = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "1", "10", "Y", "12", "Y", "Y"};

std::vector<ReadCase> ReadCases() {
    std::string nul("ab\tc\0d\t1\t10\n", 12);
    return {
        {"LineFeedOnly", "\n", EmptyLine()},
        {"AllColumns", kFullLine + "\n", kFullColumns},
        {"NoFinalLineFeed", kFullLine, kFullColumns},
        {"CrLf", kFullLine + "\r\n", kFullColumns},
        {"CrInsideColumnIsAByte", "a\rb\tc\r\n", With({{kColumn1, "a\rb"}, {kColumn2, "c"}})},
        {"CrAtEndOfFileIsAByte", "a\tb\r", With({{kColumn1, "a"}, {kColumn2, "b\r"}})},
        {"TrailingTab", kFullLine + "\t\n", kFullColumns},
        {"SixteenthColumn", kFullLine + "\tX\t\tN\n", kFullColumns},
        {"LongColumnsCutApart", std::string(60, 'a') + "\tb\t" + std::string(40, 'c') + "\n",
         With({{kColumn1, std::string(45, 'a')}, {kColumn2, "b"}, {kColumn3, std::string(30, 'c')}})},
        {"Column6CutTo1024", "\t\t\t\t\t" + std::string(1024, 'x') + std::string(476, 'y') + "\n",
         With({{kColumn6, std::string(1024, 'x')}})},
        {"NulHidesRest", nul, With({{kColumn1, "ab"}, {kColumn2, "c"}})},
        {"FewerColumns", "a\tb\tc\n", With({{kColumn1, "a"}, {kColumn2, "b"}, {kColumn3, "c"}})},
        {"EmptyColumnsBetweenTabs", "\t\t\t\t\t\t\t\t\t1\t5\tY\t3\tN\tY\n",
         With({{kColumn10, "1"}, {kColumn11, "5"}, {kPrivateFlagColumn, "Y"}, {kCategoryColumn, "3"}, {kDeletedFlagColumn, "Y"}})},
        {"HighBytesPassThrough", "\xff\x80\t\xe9t\xe9 \n", With({{kColumn1, "\xff\x80"}, {kColumn2, "\xe9t\xe9 "}})},
        {"SpacesAreKept", " a \t\t  \n", With({{kColumn1, " a "}, {kColumn3, "  "}})},
        {"CtrlZInsideALineIsAByte", "a\x1A" "b\t\x1A\r\n", With({{kColumn1, "a\x1A" "b"}, {kColumn2, "\x1A"}})},
        {"CtrlZEndingTheFileIsAnEndMark", "a\tb\x1A", With({{kColumn1, "a"}, {kColumn2, "b"}})},
        {"CtrlZAloneAfterTheLastLineIsAnEndMark", kFullLine + "\r\n\x1A", kFullColumns},
    };
}

class CameraRecordRead : public testing::TestWithParam<ReadCase> {};

TEST_P(CameraRecordRead, LineGivesColumns) {
    FilePtr file = FileWith(GetParam().input);
    ASSERT_TRUE(file);
    std::vector<Columns> records = ReadAll(file.get());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], GetParam().expected);
    EXPECT_FALSE(std::ferror(file.get()));
}

INSTANTIATE_TEST_SUITE_P(Lines, CameraRecordRead, testing::ValuesIn(ReadCases()),
                         [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

// ---- Reader: the six coded columns -------------------------------------------

struct CodedCase {
    int column;
    std::string text;
    std::string expected;
};

void PrintTo(const CodedCase &c, std::ostream *os) {
    *os << "column " << c.column + 1 << " holding \"" << c.text << "\"";
}

std::vector<CodedCase> CodedCases() {
    std::vector<CodedCase> cases = {
        {kColumn10, "0", "0"},      {kColumn10, "1", "1"},       {kColumn10, "01", "0"},
        {kColumn10, "10", "1"},     {kColumn10, "2", "0"},       {kColumn10, "", "0"},
        {kColumn10, " 1", "0"},
        {kColumn11, "None", "None"}, {kColumn11, "10x", "None"}, {kColumn11, "None!", "None"},
        {kColumn11, "none", "None"}, {kColumn11, "0", "None"},   {kColumn11, "11", "None"},
        {kColumn11, "01", "None"},  {kColumn11, "", "None"},
        {kCategoryColumn, "123", "12"},   {kCategoryColumn, "167", "0"},     {kCategoryColumn, "16", "0"},
        {kCategoryColumn, "00", "0"},     {kCategoryColumn, "05", "0"},      {kCategoryColumn, "-1", "0"},
        {kCategoryColumn, "1 ", "0"},     {kCategoryColumn, "", "0"},
    };
    for (int n = 1; n <= 10; ++n) cases.push_back({kColumn11, std::to_string(n), std::to_string(n)});
    for (int n = 0; n <= 15; ++n) cases.push_back({kCategoryColumn, std::to_string(n), std::to_string(n)});
    for (int flag : {kPrivateFlagColumn, kModifiedFlagColumn, kDeletedFlagColumn}) {
        for (auto [text, expected] : {std::pair<const char *, const char *>{"Y", "Y"}, {"N", "N"}, {"Yes", "Y"},
                                      {"No", "N"}, {"y", "N"}, {"n", "N"}, {"X", "N"}, {"", "N"}}) {
            cases.push_back({flag, text, expected});
        }
    }
    return cases;
}

class CameraRecordCodedColumn : public testing::TestWithParam<CodedCase> {};

TEST_P(CameraRecordCodedColumn, ReadsAllowedValueOrReplacement) {
    const CodedCase &c = GetParam();
    std::string line;
    for (int i = 0; i < kCameraColumnCount; ++i) {
        line += (i == c.column ? c.text : "") + (i + 1 < kCameraColumnCount ? "\t" : "\r\n");
    }
    FilePtr file = FileWith(line);
    ASSERT_TRUE(file);
    std::vector<Columns> records = ReadAll(file.get());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], With({{c.column, c.expected}}));
}

INSTANTIATE_TEST_SUITE_P(Values, CameraRecordCodedColumn, testing::ValuesIn(CodedCases()));

// ---- Reader: pieces of long lines and the end of the stream --------------------

TEST(CameraRecordLongLine, LineOf66000BytesGivesTwoRecords) {
    FilePtr file = FileWith(std::string(65999, 'a') + "b\n");
    std::vector<Columns> records = ReadAll(file.get());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], With({{kColumn1, std::string(45, 'a')}}));
    EXPECT_EQ(records[1], With({{kColumn1, "b"}}));
}

TEST(CameraRecordLongLine, LineOf65999BytesGivesAnEmptySecondRecord) {
    FilePtr file = FileWith(std::string(65999, 'a') + "\nnext\n");
    std::vector<Columns> records = ReadAll(file.get());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], With({{kColumn1, std::string(45, 'a')}}));
    EXPECT_EQ(records[1], EmptyLine());
    EXPECT_EQ(records[2], With({{kColumn1, "next"}}));
}

// CR LF split by the piece limit still ends the line, as it would through a
// Windows text stream (where the line is one byte shorter).
TEST(CameraRecordLongLine, CrLfSplitAcrossPiecesIsOneLineEnd) {
    FilePtr file = FileWith(std::string(65997, 'a') + "\t\r\nnext\n");
    std::vector<Columns> records = ReadAll(file.get());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], With({{kColumn1, std::string(45, 'a')}}));
    EXPECT_EQ(records[1], With({{kColumn1, "next"}}));
}

TEST(CameraRecordLongLine, CrEndingAPieceWithoutLfIsAByte) {
    FilePtr file = FileWith(std::string(65997, 'a') + "\t\rz\n");
    std::vector<Columns> records = ReadAll(file.get());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], With({{kColumn1, std::string(45, 'a')}, {kColumn2, "\r"}}));
    EXPECT_EQ(records[1], With({{kColumn1, "z"}}));

    FilePtr atEnd = FileWith(std::string(65997, 'a') + "\t\r");
    records = ReadAll(atEnd.get());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][kColumn2], "\r");
    EXPECT_FALSE(std::ferror(atEnd.get()));
}

TEST(CameraRecordLongLine, EndOfStreamAndReadErrorGiveNoRecord) {
    FilePtr empty = FileWith("");
    EXPECT_EQ(ReadCameraFromFile(empty.get()), nullptr);
    EXPECT_FALSE(std::ferror(empty.get()));

    std::string path = testing::TempDir() + "camera_record_write_only.txt";
    FilePtr writeOnly(std::fopen(path.c_str(), "w"), &std::fclose);
    ASSERT_TRUE(writeOnly);
    EXPECT_EQ(ReadCameraFromFile(writeOnly.get()), nullptr);
    EXPECT_TRUE(std::ferror(writeOnly.get()));
    writeOnly.reset();
    std::remove(path.c_str());
}

// ---- Writer -----------------------------------------------------------------

std::string Written(const OptionalColumns &columns) {
    RecordPtr record = MakeRecord(columns);
    FilePtr file(std::tmpfile(), &std::fclose);
    if (!file) return "<no tmpfile>";
    if (WriteCustomerToFile(file.get(), record.get()) != 0) return "<write failed>";
    return FileBytes(file.get());
}

TEST(CameraRecordWrite, WritesColumnsInOrderOnOneLine) {
    OptionalColumns columns;
    for (size_t i = 0; i < kCameraColumnCount; ++i) columns[i] = kFullColumns[i];
    EXPECT_EQ(Written(columns), kFullLine + "\n");
}

TEST(CameraRecordWrite, UnsetColumnsTakeTheirDefaults) {
    OptionalColumns columns;
    for (int i : {kColumn1, kColumn2, kColumn10, kColumn11}) columns[i] = kFullColumns[i];
    EXPECT_EQ(Written(columns), "a\tb\t\t\t\t\t\t\t\t1\t10\tN\t0\tN\tN\n");
}

TEST(CameraRecordWrite, EmptyColumnsOfLeastWidthOneAreOneSpace) {
    OptionalColumns columns;
    for (auto &column : columns) column = "";
    EXPECT_EQ(Written(columns), Line({" ", " ", "", "", "", "", "", "", "", " ", " ", " ", " ", " ", " "}));
}

TEST(CameraRecordWrite, CutsEveryColumnToItsWidth) {
    OptionalColumns columns;
    Columns expected;
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        std::string text;
        for (size_t n = 0; n < rules::kWidth[i] + 7; ++n) text += static_cast<char>('A' + (i + n) % 26);
        columns[i] = text;
        expected[i] = text.substr(0, rules::kWidth[i]);
    }
    EXPECT_EQ(Written(columns), Line(expected));
}

TEST(CameraRecordWrite, TabCrLfInsideAColumnBecomeSpaces) {
    OptionalColumns columns = {"a\tb", "\r\n", "x\ny", "", "", std::string(1023, 'z') + "\t\t", "", "", "", "1\n",
                               "N\ta", "Y", "1\r", "N", "Y"};
    Columns expected = {"a b", "  ", "x y", "", "", std::string(1023, 'z') + " ", "", "", "", "1", "N a",
                        "Y", "1 ", "N", "Y"};
    EXPECT_EQ(Written(columns), Line(expected));
}

TEST(CameraRecordWrite, FailedWriteReturnsItsNegativeResult) {
    std::string path = testing::TempDir() + "camera_record_read_only.txt";
    FilePtr create(std::fopen(path.c_str(), "w"), &std::fclose);
    ASSERT_TRUE(create);
    create.reset();
    FilePtr readOnly(std::fopen(path.c_str(), "r"), &std::fclose);
    ASSERT_TRUE(readOnly);
    OptionalColumns columns;
    for (size_t i = 0; i < kCameraColumnCount; ++i) columns[i] = kFullColumns[i];
    RecordPtr record = MakeRecord(columns);
    int expected = std::fprintf(readOnly.get(), "x");
    ASSERT_LT(expected, 0);
    EXPECT_EQ(WriteCustomerToFile(readOnly.get(), record.get()), expected);
    readOnly.reset();
    std::remove(path.c_str());
}

}  // namespace
