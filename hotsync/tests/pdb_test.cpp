// The .pdb codec: byte layout, round trips through memory and files for many
// shapes of database, and refusal of every kind of damaged file without
// reading out of bounds.
#include "pdb.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "files.h"
#include "records.h"
#include "standin.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes B(const std::string &s) { return Bytes(s.begin(), s.end()); }

uint32_t Get32(const Bytes &b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

void Set32(Bytes *b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

void Set16(Bytes *b, size_t at, uint16_t v) {
    (*b)[at] = static_cast<uint8_t>(v >> 8);
    (*b)[at + 1] = static_cast<uint8_t>(v);
}

PdbRecord Rec(uint8_t attributes, uint32_t id, const std::string &body) {
    PdbRecord r;
    r.attributes = attributes;
    r.uniqueId = id;
    r.body = B(body);
    return r;
}

// Three records (one empty), both info blocks, every header field distinct.
PdbDatabase Sample() {
    PdbDatabase db;
    strcpy(db.name, "LenfolDB");
    db.attributes = 0x0008;
    db.version = 3;
    db.creationDate = 0xC0000001;
    db.modificationDate = 0xC0000002;
    db.backupDate = 0xC0000003;
    db.modificationNumber = 7;
    db.type = 0x4974656D;
    db.creator = 0x4C6E466F;
    db.uniqueIdSeed = 0x00ABC123;
    db.appInfo = B("APP");
    db.sortInfo = B("SO");
    db.records.push_back(Rec(0x40 | 5, 0x010203, "abc"));
    db.records.push_back(Rec(0x80 | 0x08, 0xFFFFFF, ""));
    db.records.push_back(Rec(0x10 | 15, 1, "defgh"));
    return db;
}

// Offsets in the sample's file image.
constexpr size_t kEntries = 78;
constexpr size_t kAppAt = 78 + 3 * 8 + 2;
constexpr size_t kSortAt = kAppAt + 3;
constexpr size_t kBodiesAt = kSortAt + 2;
constexpr size_t kSampleSize = kBodiesAt + 3 + 0 + 5;

Bytes SampleImage() {
    Bytes image;
    EXPECT_EQ(PdbSerialize(Sample(), &image), 0);
    return image;
}

void ExpectSame(const PdbDatabase &a, const PdbDatabase &b) {
    EXPECT_EQ(0, memcmp(a.name, b.name, kPdbNameSize));
    EXPECT_EQ(a.attributes, b.attributes);
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.creationDate, b.creationDate);
    EXPECT_EQ(a.modificationDate, b.modificationDate);
    EXPECT_EQ(a.backupDate, b.backupDate);
    EXPECT_EQ(a.modificationNumber, b.modificationNumber);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.creator, b.creator);
    EXPECT_EQ(a.uniqueIdSeed, b.uniqueIdSeed);
    EXPECT_EQ(a.appInfo, b.appInfo);
    EXPECT_EQ(a.sortInfo, b.sortInfo);
    ASSERT_EQ(a.records.size(), b.records.size());
    for (size_t i = 0; i < a.records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(a.records[i].attributes, b.records[i].attributes);
        EXPECT_EQ(a.records[i].uniqueId, b.records[i].uniqueId);
        EXPECT_EQ(a.records[i].body, b.records[i].body);
    }
}

TEST(PdbTest, WritesTheStandardLayout) {
    Bytes image = SampleImage();
    ASSERT_EQ(image.size(), kSampleSize);
    EXPECT_EQ(PdbFileSize(Sample()), kSampleSize);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(image.data())), "LenfolDB");
    EXPECT_EQ(image[32], 0x00);
    EXPECT_EQ(image[33], 0x08);  // attributes, big-endian
    EXPECT_EQ(image[35], 3);     // version
    EXPECT_EQ(Get32(image, 36), 0xC0000001u);
    EXPECT_EQ(Get32(image, 44), 0xC0000003u);
    EXPECT_EQ(Get32(image, 48), 7u);
    EXPECT_EQ(Get32(image, 52), kAppAt);
    EXPECT_EQ(Get32(image, 56), kSortAt);
    EXPECT_EQ(std::string(image.begin() + 60, image.begin() + 68), "ItemLnFo");
    EXPECT_EQ(Get32(image, 68), 0x00ABC123u);
    EXPECT_EQ(Get32(image, 72), 0u);
    EXPECT_EQ(image[76] << 8 | image[77], 3);
    // Entries: offset, attribute byte, 3-byte ID.
    EXPECT_EQ(Get32(image, kEntries), kBodiesAt);
    EXPECT_EQ(image[kEntries + 4], 0x45);
    EXPECT_EQ(image[kEntries + 5], 0x01);
    EXPECT_EQ(image[kEntries + 7], 0x03);
    EXPECT_EQ(Get32(image, kEntries + 8), kBodiesAt + 3);
    EXPECT_EQ(Get32(image, kEntries + 16), kBodiesAt + 3);
    EXPECT_EQ(image[kEntries + 24], 0);  // filler
    EXPECT_EQ(image[kEntries + 25], 0);
    EXPECT_EQ(std::string(image.begin() + kAppAt, image.begin() + kBodiesAt), "APPSO");
    EXPECT_EQ(std::string(image.begin() + kBodiesAt, image.end()), "abcdefgh");
}

TEST(PdbTest, RoundTripsThroughMemory) {
    PdbDatabase parsed;
    Bytes image = SampleImage();
    ASSERT_EQ(PdbParse(image.data(), image.size(), &parsed), 0);
    ExpectSame(Sample(), parsed);
    EXPECT_EQ(PdbName(parsed), "LenfolDB");
}

TEST(PdbTest, RoundTripsAnEmptyDatabase) {
    PdbDatabase empty;
    strcpy(empty.name, "x");
    Bytes image;
    ASSERT_EQ(PdbSerialize(empty, &image), 0);
    EXPECT_EQ(image.size(), size_t{kPdbHeaderSize + kPdbFillerSize});
    EXPECT_EQ(Get32(image, 52), 0u);  // no appInfo: offset 0
    PdbDatabase parsed = Sample();
    ASSERT_EQ(PdbParse(image.data(), image.size(), &parsed), 0);
    ExpectSame(empty, parsed);
}

// ---- Files ------------------------------------------------------------------

class PdbFileTest : public ::testing::Test {
protected:
    size_t FileCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    ScratchDir scratch_{"pdb_test"};
    const std::string dir_ = scratch_.Path();
};

// (Bodies adding up past 4 GiB are refused too; a test of that would need
// 4 GiB of bodies in memory.)
TEST_F(PdbFileTest, RefusesMoreThan65535Records) {
    PdbDatabase db;
    db.records.resize(kPdbMaxRecords);
    Bytes image;
    ASSERT_EQ(PdbSerialize(db, &image), 0);
    PdbDatabase parsed;
    ASSERT_EQ(PdbParse(image.data(), image.size(), &parsed), 0);
    EXPECT_EQ(parsed.records.size(), size_t{kPdbMaxRecords});
    db.records.emplace_back();
    EXPECT_EQ(PdbSerialize(db, &image), kStandinErrTooMany);
    EXPECT_EQ(PdbSave(dir_ + "/big.pdb", db), kStandinErrTooMany);
    EXPECT_EQ(FileCount(), 0u);
}

TEST_F(PdbFileTest, ReplacesAnOldFileAndLeavesNoTemporary) {
    std::string path = dir_ + "/db.pdb";
    ASSERT_EQ(PdbSave(path, Sample()), 0);
    PdbDatabase smaller = Sample();
    smaller.records.resize(1);
    ASSERT_EQ(PdbSave(path, smaller), 0);
    PdbDatabase loaded;
    ASSERT_EQ(PdbLoad(path, &loaded), 0);
    ExpectSame(smaller, loaded);
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PdbFileTest, SaveIntoAMissingDirectoryFails) {
    EXPECT_EQ(PdbSave(dir_ + "/none/db.pdb", Sample()), kStandinErrIo);
}

TEST_F(PdbFileTest, SaveOverADirectoryFailsAndCleansUp) {
    fs::create_directory(dir_ + "/db.pdb");
    EXPECT_EQ(PdbSave(dir_ + "/db.pdb", Sample()), kStandinErrIo);
    EXPECT_TRUE(fs::is_directory(dir_ + "/db.pdb"));
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PdbFileTest, LoadTellsMissingUnreadableAndCorruptApartAndLeavesTheTargetAlone) {
    fs::create_directory(dir_ + "/dir.pdb");
    ASSERT_EQ(PdbSave(dir_ + "/short.pdb", Sample()), 0);
    fs::resize_file(dir_ + "/short.pdb", 40);  // ends inside its header
    const struct {
        const char *file;
        int32_t status;
    } kCases[] = {{"missing.pdb", kSyncErrDatabaseMissing},
                  {"dir.pdb", kStandinErrIo},
                  {"short.pdb", kStandinErrCorrupt}};
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.file);
        PdbDatabase loaded;
        strcpy(loaded.name, "untouched");
        loaded.records.push_back(PdbRecord{0, 7, {'k'}});
        EXPECT_EQ(PdbLoad(dir_ + "/" + c.file, &loaded), c.status);
        EXPECT_EQ(PdbName(loaded), "untouched");
        ASSERT_EQ(loaded.records.size(), 1u);
        EXPECT_EQ(loaded.records[0].body, Bytes{'k'});
    }
}

// The sample's header with records of one shape each: none, only empty
// bodies, the sample's own (deleted, dirty, secret), thousands of small ones,
// mixed sizes with empty bodies and bodies past 64 KiB, a file of megabytes.
struct Shape {
    const char *name;
    std::vector<PdbRecord> records;
};

void PrintTo(const Shape &s, std::ostream *os) { *os << s.name; }

// Records of the given body sizes, every one with its own ID and attributes.
std::vector<PdbRecord> Records(const std::vector<size_t> &sizes) {
    std::vector<PdbRecord> records(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        PdbRecord &r = records[i];
        r.attributes = static_cast<uint8_t>(i % 16 | (i % 3 == 0 ? kPdbRecSecret : 0));
        r.uniqueId = static_cast<uint32_t>(0xFFFFFF - i);
        r.body = B(Pattern(sizes[i], static_cast<uint32_t>(i)));
    }
    return records;
}

std::vector<PdbRecord> Many(size_t count, size_t size) {
    return Records(std::vector<size_t>(count, size));
}

std::vector<PdbRecord> Mixed() {
    std::vector<size_t> sizes;
    for (size_t i = 0; i < 300; ++i) sizes.push_back(i % 7 == 0 ? 0 : (i * 37) % 1300);
    sizes.push_back(70000);
    sizes.push_back(0);
    sizes.push_back(65535);
    return Records(sizes);
}

const Shape kShapes[] = {
    {"no records", {}},
    {"empty bodies only", Many(5, 0)},
    {"the sample's records", Sample().records},
    {"many small bodies", Many(2000, 100)},
    {"mixed sizes", Mixed()},
    {"large bodies", Many(40, 80000)},
};

class PdbShapeTest : public PdbFileTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(PdbShapeTest, SavesTheSerializedBytesAndLoadsThemBack) {
    SCOPED_TRACE(GetParam().name);
    PdbDatabase db = Sample();
    db.records = GetParam().records;
    Bytes serialized;
    ASSERT_EQ(PdbSerialize(db, &serialized), 0);
    EXPECT_EQ(serialized.size(), PdbFileSize(db));
    const std::string expected(serialized.begin(), serialized.end());
    const std::string path = dir_ + "/LenfolDB.pdb";
    ASSERT_EQ(PdbSave(path, db), 0);
    EXPECT_EQ(ReadAll(path), expected);
    EXPECT_EQ(FileCount(), 1u) << "temporary file left";
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    PdbDatabase loaded;
    ASSERT_EQ(PdbLoad(path, &loaded), 0);
    ExpectSame(db, loaded);
    // Written back as it was read, the file comes out the same.
    ASSERT_EQ(PdbSave(path, loaded), 0);
    EXPECT_EQ(ReadAll(path), expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PdbShapeTest, ::testing::ValuesIn(kShapes));

// ---- Damaged files ------------------------------------------------------------

struct Damage {
    const char *name;
    std::function<void(Bytes *)> apply;
};

void PrintTo(const Damage &d, std::ostream *os) { *os << d.name; }

const Damage kDamages[] = {
    {"empty file", [](Bytes *b) { b->clear(); }},
    {"header cut short", [](Bytes *b) { b->resize(kPdbHeaderSize - 1); }},
    {"name without NUL", [](Bytes *b) { memset(b->data(), 'A', kPdbNameSize); }},
    {"resource database", [](Bytes *b) { (*b)[33] |= 0x01; }},
    {"chained record list", [](Bytes *b) { Set32(b, 72, kSampleSize); }},
    {"count beyond the file", [](Bytes *b) { Set16(b, 76, 0xFFFF); }},
    {"entry list cut short", [](Bytes *b) { b->resize(kEntries + 2 * 8 + 3); }},
    {"offset past end of file", [](Bytes *b) { Set32(b, kEntries + 16, kSampleSize + 1); }},
    {"offset inside the entry list", [](Bytes *b) { Set32(b, kEntries, kEntries + 4); }},
    {"offset inside the header", [](Bytes *b) { Set32(b, kEntries, 10); }},
    {"decreasing offsets", [](Bytes *b) { Set32(b, kEntries + 8, kBodiesAt - 1); }},
    {"body cut off by truncation", [](Bytes *b) { b->resize(kBodiesAt + 1); }},
    {"huge offset", [](Bytes *b) { Set32(b, kEntries + 16, 0xFFFFFFFF); }},
    {"appInfo inside the entry list", [](Bytes *b) { Set32(b, 52, kEntries + 8); }},
    {"appInfo after the first body", [](Bytes *b) { Set32(b, 52, kBodiesAt + 1); }},
    {"appInfo past end of file", [](Bytes *b) { Set32(b, 52, 0x7FFFFFFF); }},
    {"sortInfo before appInfo", [](Bytes *b) {
         Set32(b, 52, kSortAt);
         Set32(b, 56, kAppAt);
     }},
    {"sortInfo after the first body", [](Bytes *b) { Set32(b, 56, kBodiesAt + 2); }},
};

// The sync manager opens a file reading only its head, up to the first
// body; it must judge a file as the parse of the whole image does.
class PdbImageTest {
protected:
    int32_t OpenImage(const Bytes &image, PdbDatabase *db, std::vector<PdbHeldRecord> *records) {
        const std::string path = scratch_.Path() + "/image.pdb";
        WriteAll(path, std::string(image.begin(), image.end()));
        return PdbOpen(path, &source_, db, records);
    }

    ScratchDir scratch_{"pdb_image"};
    standin::os::Source source_;
};

class PdbCorruptTest : public ::testing::TestWithParam<Damage>, public PdbImageTest {};

TEST_P(PdbCorruptTest, IsRefusedAndLeavesTheTargetAlone) {
    Bytes image = SampleImage();
    GetParam().apply(&image);
    PdbDatabase db;
    strcpy(db.name, "untouched");
    EXPECT_EQ(PdbParse(image.data(), image.size(), &db), kStandinErrCorrupt);
    EXPECT_EQ(PdbName(db), "untouched");
    std::vector<PdbHeldRecord> records;
    EXPECT_EQ(OpenImage(image, &db, &records), kStandinErrCorrupt);
    EXPECT_EQ(PdbName(db), "untouched");
    EXPECT_TRUE(records.empty());
}

INSTANTIATE_TEST_SUITE_P(Damages, PdbCorruptTest, ::testing::ValuesIn(kDamages));

// Files other writers produce that are still sound.
struct Variant {
    const char *name;
    std::function<void(Bytes *)> apply;
    std::vector<std::string> bodies;
};

void PrintTo(const Variant &v, std::ostream *os) { *os << v.name; }

Bytes Plain(const std::vector<std::string> &bodies) {
    PdbDatabase db;
    strcpy(db.name, "plain");
    for (const std::string &body : bodies) db.records.push_back(Rec(0, 1, body));
    Bytes image;
    EXPECT_EQ(PdbSerialize(db, &image), 0);
    return image;
}

const Variant kVariants[] = {
    {"empty name", [](Bytes *b) { memset(b->data(), 0, kPdbNameSize); }, {"ab", "cd"}},
    {"no filler", [](Bytes *b) {
         b->erase(b->begin() + kEntries + 16, b->begin() + kEntries + 18);
         Set32(b, kEntries, kEntries + 16);
         Set32(b, kEntries + 8, kEntries + 18);
     }, {"ab", "cd"}},
    {"gap before the bodies", [](Bytes *b) {
         b->insert(b->begin() + kEntries + 18, {'x', 'y'});
         Set32(b, kEntries, kEntries + 20);
         Set32(b, kEntries + 8, kEntries + 22);
     }, {"ab", "cd"}},
    {"equal offsets give an empty body", [](Bytes *b) { Set32(b, kEntries + 8, Get32(*b, kEntries)); },
     {"", "abcd"}},
    {"last body runs to end of file", [](Bytes *b) { b->push_back('e'); }, {"ab", "cde"}},
    {"last offset at end of file", [](Bytes *b) { Set32(b, kEntries + 8, static_cast<uint32_t>(b->size())); },
     {"abcd", ""}},
};

class PdbAcceptTest : public ::testing::TestWithParam<Variant>, public PdbImageTest {};

TEST_P(PdbAcceptTest, ParsesTheBodies) {
    Bytes image = Plain({"ab", "cd"});
    GetParam().apply(&image);
    PdbDatabase db;
    ASSERT_EQ(PdbParse(image.data(), image.size(), &db), 0);
    ASSERT_EQ(db.records.size(), GetParam().bodies.size());
    for (size_t i = 0; i < db.records.size(); ++i)
        EXPECT_EQ(db.records[i].body, B(GetParam().bodies[i])) << "record " << i;
    std::vector<PdbHeldRecord> records;
    ASSERT_EQ(OpenImage(image, &db, &records), 0);
    ASSERT_EQ(records.size(), GetParam().bodies.size());
    for (size_t i = 0; i < records.size(); ++i) {
        Bytes body(records[i].size);
        ASSERT_EQ(source_.Read(records[i].offset, body.data(), body.size()), 0);
        EXPECT_EQ(body, B(GetParam().bodies[i])) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, PdbAcceptTest, ::testing::ValuesIn(kVariants));

// Every prefix and many random corruptions of a sound file either parse into
// bodies that fit in the input or are refused; the sanitizer build catches any
// read out of bounds.
TEST(PdbFuzzTest, DamagedInputNeverReadsOutOfBounds) {
    const Bytes image = SampleImage();
    auto check = [](const Bytes &input) {
        // An exact-size heap copy, so a read past the end trips the sanitizer.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[input.size() + 1]);
        if (!input.empty()) memcpy(copy.get(), input.data(), input.size());
        PdbDatabase db;
        int32_t status = PdbParse(copy.get(), input.size(), &db);
        ASSERT_TRUE(status == 0 || status == kStandinErrCorrupt) << status;
        size_t total = db.appInfo.size() + db.sortInfo.size();
        for (const PdbRecord &r : db.records) total += r.body.size();
        EXPECT_LE(total, input.size());
    };
    for (size_t n = 0; n < image.size(); ++n) {
        SCOPED_TRACE("prefix " + std::to_string(n));
        check(Bytes(image.begin(), image.begin() + n));
    }
    std::mt19937 random(20240611);
    for (int round = 0; round < 5000; ++round) {
        Bytes damaged = image;
        for (int flips = 1 + round % 4; flips > 0; --flips) {
            size_t at = random() % damaged.size();
            damaged[at] = static_cast<uint8_t>(random());
        }
        SCOPED_TRACE("round " + std::to_string(round));
        check(damaged);
    }
}

}  // namespace
