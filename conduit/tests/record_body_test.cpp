// The handheld record body and the category text.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "camera_record.h"
#include "record_support.h"
#include "rules.h"

namespace {

using BodyColumns = std::array<std::string, kBodyColumnCount>;


RecordPtr RecordWithBody(const BodyColumns &columns) {
    RecordPtr record(new CameraRecord(), &FreeCameraRecord);
    for (size_t i = 0; i < kBodyColumnCount; ++i) record.get()->*kCameraColumns[i] = Dup(columns[i]);
    return record;
}

std::string BodyOf(const BodyColumns &columns) {
    std::string body;
    for (const std::string &column : columns) body += column + '\0';
    return body;
}

// Unpacks from a heap block of exactly the body's size, so that a read past
// its end is caught by the address sanitizer.
RecordPtr Unpack(const std::string &body) {
    std::unique_ptr<char[]> exact(new char[body.size()]);
    if (!body.empty()) std::memcpy(exact.get(), body.data(), body.size());
    return RecordPtr(UnpackCameraRecord(exact.get(), body.size()), &FreeCameraRecord);
}

void ExpectUnpacked(const CameraRecord *record, const BodyColumns &expected) {
    for (size_t i = 0; i < kBodyColumnCount; ++i) {
        const char *text = record->*kCameraColumns[i];
        ASSERT_NE(text, nullptr) << "column " << i + 1;
        EXPECT_EQ(std::string(text), expected[i]) << "column " << i + 1;
    }
    for (const char *flag : {record->privateFlag, record->modifiedFlag, record->deletedFlag}) {
        ASSERT_NE(flag, nullptr);
        EXPECT_STREQ(flag, "N");
    }
    EXPECT_NE(record->privateFlag, record->modifiedFlag);
    EXPECT_NE(record->modifiedFlag, record->deletedFlag);
    EXPECT_NE(record->privateFlag, record->deletedFlag);
    EXPECT_EQ(record->category, nullptr);
}

// ---- Pack -------------------------------------------------------------------

TEST(RecordBodyPack, EmptyOrUnsetColumnsPackToElevenNuls) {
    RecordPtr empty = RecordWithBody(BodyColumns{});
    RecordPtr unset(new CameraRecord(), &FreeCameraRecord);
    for (const CameraRecord *record : {empty.get(), unset.get()}) {
        std::vector<char> buffer(64, 'x');
        ASSERT_EQ(PackCameraRecord(buffer.data(), buffer.size(), record), 11);
        EXPECT_EQ(std::string(buffer.data(), 12), std::string(11, '\0') + "x");
    }
}

TEST(RecordBodyPack, FullWidthLinePacksTo1198Bytes) {
    std::string line;
    BodyColumns expected;
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        std::string text(rules::kWidth[i], static_cast<char>('a' + i));
        if (i == 9) text = "1";
        if (i == 10) text = "None";
        if (i == 11 || i == 13 || i == 14) text = "Y";
        if (i == 12) text = "15";
        if (i < kBodyColumnCount) expected[i] = text;
        line += text + (i + 1 < kCameraColumnCount ? "\t" : "\n");
    }
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    std::fputs(line.c_str(), file.get());
    std::rewind(file.get());
    RecordPtr record(ReadCameraFromFile(file.get()), &FreeCameraRecord);
    ASSERT_TRUE(record);
    ASSERT_EQ(PackCameraRecord(LineBuffer, kLineBufferSize, record.get()), 1198);
    EXPECT_EQ(std::string(LineBuffer, 1198), BodyOf(expected));
}

TEST(RecordBodyPack, BodyLargerThanCapacityPacksNothing) {
    BodyColumns columns;
    columns[5] = std::string(1500, 'z');
    columns[0] = "first";
    RecordPtr record = RecordWithBody(columns);
    const size_t size = BodyOf(columns).size();

    std::vector<char> tooSmall(size - 1, 'x');
    EXPECT_EQ(PackCameraRecord(tooSmall.data(), tooSmall.size(), record.get()), 0);
    EXPECT_EQ(std::string(tooSmall.begin(), tooSmall.end()), std::string(size - 1, 'x'));
    EXPECT_EQ(PackCameraRecord(nullptr, 0, record.get()), 0);

    std::vector<char> exact(size);
    ASSERT_EQ(PackCameraRecord(exact.data(), exact.size(), record.get()), static_cast<int32_t>(size));
    EXPECT_EQ(std::string(exact.begin(), exact.end()), BodyOf(columns));
}

// ---- Unpack -----------------------------------------------------------------

struct UnpackCase {
    const char *name;
    std::string body;
    BodyColumns expected;
};

void PrintTo(const UnpackCase &c, std::ostream *os) { *os << c.name; }

std::vector<UnpackCase> UnpackCases() {
    BodyColumns all = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "1", "None"};
    BodyColumns long6;
    long6[5] = std::string(1500, 'q');
    return {
        {"ElevenNuls", std::string(11, '\0'), BodyColumns{}},
        {"EmptyBody", "", BodyColumns{}},
        {"AllEleven", BodyOf(all), all},
        {"Column6Of1500BytesWhole", BodyOf(long6), long6},
        {"FewerColumnsAreEmpty", std::string("a\0b\0", 4), {"a", "b"}},
        {"UnterminatedLastColumnEndsAtBodyEnd", std::string("a\0bc", 4), {"a", "bc"}},
        {"LeadingEmptyColumns", std::string("\0\0x", 3), {"", "", "x"}},
        {"BytesAfterEleventhNulIgnored", BodyOf(all) + std::string("junk\0more", 9), all},
        {"HighBytes", std::string("\xff\x80\0\t\r\n\0", 7), {"\xff\x80", "\t\r\n"}},
    };
}

class RecordBodyUnpack : public testing::TestWithParam<UnpackCase> {};

TEST_P(RecordBodyUnpack, GivesColumnsAndDefaults) {
    RecordPtr record = Unpack(GetParam().body);
    ASSERT_TRUE(record);
    ExpectUnpacked(record.get(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Bodies, RecordBodyUnpack, testing::ValuesIn(UnpackCases()),
                         [](const testing::TestParamInfo<UnpackCase> &info) { return std::string(info.param.name); });

TEST(RecordBodyUnpack, PackedBodyUnpacksUnchanged) {
    BodyColumns columns = {std::string(300, 'k'), "", "c", "dddddddd", "e", std::string(5000, 'f'), "g", "", "i",
                           "7", "longer than four"};
    RecordPtr record = RecordWithBody(columns);
    int32_t size = PackCameraRecord(LineBuffer, kLineBufferSize, record.get());
    ASSERT_GT(size, 0);
    RecordPtr unpacked = Unpack(std::string(LineBuffer, size));
    ExpectUnpacked(unpacked.get(), columns);
}

// ---- Category text ------------------------------------------------------------

class RecordBodyCategory : public testing::TestWithParam<int> {};

TEST_P(RecordBodyCategory, TextOfNumber) {
    const int number = GetParam();
    const std::string expected = number >= 1 && number <= 15 ? std::to_string(number) : "0";
    RecordPtr record = Unpack(std::string(11, '\0'));
    SetCategoryText(static_cast<int16_t>(number), record.get());
    ASSERT_NE(record->category, nullptr);
    EXPECT_EQ(std::string(record->category), expected);
    // A second call replaces the text (the leak checker sees the first one freed).
    SetCategoryText(static_cast<int16_t>(number), record.get());
    EXPECT_EQ(std::string(record->category), expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, RecordBodyCategory,
                         testing::Values(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 255, -1, -15,
                                         -32768, 32767));

}  // namespace
