// Seeded sweeps: random records through the line and the body, compared with
// what the line and body rules predict, computed on their own (fuzz/rules).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "camera_record.h"
#include "record_support.h"
#include "rules.h"

namespace {


constexpr unsigned kSeed = 20240611;

// ---- Helpers --------------------------------------------------------------------

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(engine_); }
    bool OneIn(size_t n) { return Below(n) == 0; }

    // Bytes 1..255, with the line's separators and high bytes well represented;
    // with `withNul`, NUL too.
    char Byte(bool withNul) {
        static const char kSpecial[] = {'\t', '\r', '\n', ' ', '\x80', '\xff', '\xe9', 'Y', 'N', '1', '0'};
        if (withNul && OneIn(40)) return '\0';
        if (OneIn(4)) return kSpecial[Below(sizeof kSpecial)];
        return static_cast<char>(1 + Below(255));
    }
    std::string Text(size_t maxLength, bool withNul = false) {
        size_t length = Below(maxLength + 1);
        std::string text;
        for (size_t i = 0; i < length; ++i) text += Byte(withNul);
        return text;
    }
    // A column text around the column's width: often shorter, sometimes longer.
    std::string ColumnText(size_t width) { return Text(OneIn(3) ? 2 * width + 3 : width); }

private:
    std::mt19937 engine_;
};

OptionalColumns RandomRecord(Random &random) {
    OptionalColumns columns;
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        bool mayBeUnset = (i >= 2 && i <= 8) || i >= 11;
        if (mayBeUnset && random.OneIn(5)) continue;
        std::vector<std::string> allowed = rules::Allowed(i);
        if (!allowed.empty() && !random.OneIn(3)) {
            columns[i] = allowed[random.Below(allowed.size())];
        } else {
            columns[i] = random.ColumnText(rules::kWidth[i]);
        }
    }
    return columns;
}

// ---- Sweeps -----------------------------------------------------------------------

TEST(RecordRoundTrip, WrittenLinesAreOneLineEachAndReadBackAsPredicted) {
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    Random random(kSeed);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        FilePtr file(std::tmpfile(), &std::fclose);
        ASSERT_TRUE(file);
        std::string expectedFile;
        std::vector<Columns> expectedRecords;
        for (int n = 0; n < 25; ++n) {
            OptionalColumns columns = RandomRecord(random);
            RecordPtr record = MakeRecord(columns);
            ASSERT_EQ(WriteCustomerToFile(file.get(), record.get()), 0);
            Columns readBack;
            for (size_t i = 0; i < kCameraColumnCount; ++i) {
                std::string written = rules::WrittenValue(columns[i], i);
                expectedFile += written + (i + 1 < kCameraColumnCount ? "\t" : "\n");
                readBack[i] = rules::ReadValue(written, i);
            }
            expectedRecords.push_back(readBack);
        }
        ASSERT_EQ(FileBytes(file.get()), expectedFile);
        std::rewind(file.get());
        for (size_t n = 0; n < expectedRecords.size(); ++n) {
            RecordPtr record(ReadCameraFromFile(file.get()), &FreeCameraRecord);
            ASSERT_TRUE(record) << "record " << n;
            EXPECT_EQ(ColumnsOf(record.get()), expectedRecords[n]) << "record " << n;
        }
        EXPECT_EQ(ReadCameraFromFile(file.get()), nullptr);
    }
}

TEST(RecordRoundTrip, ArbitraryLinesReadAsPredictedWithinTheTable) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 1));
    Random random(kSeed + 1);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string bytes;
        for (int n = 0; n < 30; ++n) {
            std::string line;
            size_t fields = random.Below(20);
            for (size_t f = 0; f < fields; ++f) {
                line += random.Text(random.OneIn(10) ? 1500 : 8, true);
                if (f + 1 < fields) line += '\t';
            }
            bytes += line;
            if (n < 29 || random.OneIn(2)) bytes += random.OneIn(3) ? "\r\n" : "\n";
        }
        FilePtr file(std::tmpfile(), &std::fclose);
        ASSERT_TRUE(file);
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        std::rewind(file.get());
        std::vector<Columns> expected = rules::ReadFile(bytes);
        size_t count = 0;
        while (RecordPtr record{ReadCameraFromFile(file.get()), &FreeCameraRecord}) {
            Columns columns = ColumnsOf(record.get());
            EXPECT_EQ(rules::TableViolation(columns), "") << "record " << count;
            ASSERT_LT(count, expected.size());
            EXPECT_EQ(columns, expected[count]) << "record " << count;
            ++count;
        }
        EXPECT_EQ(count, expected.size());
        EXPECT_FALSE(std::ferror(file.get()));
    }
}

TEST(RecordRoundTrip, PackedBodiesUnpackUnchangedOrPackToNothing) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 2));
    Random random(kSeed + 2);
    for (int n = 0; n < 400; ++n) {
        SCOPED_TRACE("record " + std::to_string(n));
        OptionalColumns columns;
        std::string body;
        for (size_t i = 0; i < kBodyColumnCount; ++i) {
            if (!random.OneIn(6)) columns[i] = random.Text(random.OneIn(8) ? 3000 : 60);
            body += columns[i].value_or("") + '\0';
        }
        RecordPtr record = MakeRecord(columns);
        size_t capacities[] = {body.size(), body.size() - 1, random.Below(body.size()), kLineBufferSize};
        size_t capacity = capacities[random.Below(4)];
        std::vector<char> buffer(capacity, 'x');
        int32_t size = PackCameraRecord(buffer.data(), capacity, record.get());
        if (body.size() > capacity) {
            EXPECT_EQ(size, 0);
            EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 'x'), static_cast<long>(capacity));
            continue;
        }
        ASSERT_EQ(size, static_cast<int32_t>(body.size()));
        EXPECT_EQ(std::string(buffer.data(), size), body);
        EXPECT_EQ(std::count(buffer.begin() + size, buffer.end(), 'x'), static_cast<long>(capacity - size));

        std::unique_ptr<char[]> exact(new char[size]);
        std::memcpy(exact.get(), buffer.data(), size);
        RecordPtr unpacked(UnpackCameraRecord(exact.get(), size), &FreeCameraRecord);
        Columns got = ColumnsOf(unpacked.get());
        for (size_t i = 0; i < kBodyColumnCount; ++i) EXPECT_EQ(got[i], columns[i].value_or("")) << "column " << i + 1;
        EXPECT_EQ(got[11], "N");
        EXPECT_EQ(got[12], "<null>");
        EXPECT_EQ(got[13], "N");
        EXPECT_EQ(got[14], "N");
    }
}

TEST(RecordRoundTrip, ArbitraryBodiesUnpackWithinTheirSize) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 3));
    Random random(kSeed + 3);
    for (int n = 0; n < 400; ++n) {
        SCOPED_TRACE("body " + std::to_string(n));
        std::string body;
        size_t size = random.Below(60);
        for (size_t i = 0; i < size; ++i) body += random.OneIn(4) ? '\0' : random.Byte(false);
        // Every column is the text up to the next NUL or the body's end.
        std::array<std::string, kBodyColumnCount> expected;
        size_t pos = 0;
        for (size_t i = 0; i < kBodyColumnCount && pos < body.size(); ++i) {
            size_t nul = std::min(body.find('\0', pos), body.size());
            expected[i] = body.substr(pos, nul - pos);
            pos = nul + 1;
        }
        std::unique_ptr<char[]> exact(new char[size]);
        std::memcpy(exact.get(), body.data(), size);
        RecordPtr record(UnpackCameraRecord(size ? exact.get() : nullptr, size), &FreeCameraRecord);
        Columns got = ColumnsOf(record.get());
        for (size_t i = 0; i < kBodyColumnCount; ++i) EXPECT_EQ(got[i], expected[i]) << "column " << i + 1;
    }
}

}  // namespace
