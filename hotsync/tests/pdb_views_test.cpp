// Whole databases on disk and in the sync manager: the file PdbSave writes
// must be the one PdbSerialize makes and load back the same, for many shapes
// of database; and the sync manager must keep every record right however
// many bodies it takes and however often records are replaced or purged.
#include "pdb.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "files.h"
#include "handheld.h"
#include "records.h"
#include "standin.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Bytes that differ from body to body and from offset to offset, so a body
// cut at the wrong place or taken from the wrong record shows.
Bytes Pattern(size_t size, uint32_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed * 131 + i * 7 + (i >> 8));
    return b;
}

PdbDatabase Header() {
    PdbDatabase db;
    strcpy(db.name, "Views");
    db.version = 2;
    db.creationDate = 0xC1000001;
    db.modificationNumber = 9;
    db.type = 0x4974656D;
    db.creator = 0x4C6E466F;
    db.uniqueIdSeed = 0x123;
    db.appInfo = Pattern(5, 1);
    db.sortInfo = Pattern(3, 2);
    return db;
}

class ScratchTest : public ::testing::Test {
protected:
    ScratchDir scratch_{"pdb_views_test"};
    const std::string dir_ = scratch_.Path();
};

// ---- Saving and loading ------------------------------------------------------------

// Body sizes of one sweep case, and in which order the bodies were built
// (forwards or backwards), so that each shape is written and read back.
enum class Placement { Scattered, Contiguous, Reversed };

struct Layout {
    const char *name;
    std::vector<size_t> sizes;
    Placement placement;
};

std::vector<size_t> Many(size_t count, size_t size) { return std::vector<size_t>(count, size); }

std::vector<size_t> Mixed() {
    std::vector<size_t> sizes;
    for (size_t i = 0; i < 300; ++i) sizes.push_back(i % 7 == 0 ? 0 : (i * 37) % 1300);
    sizes.push_back(70000);
    sizes.push_back(0);
    sizes.push_back(65535);
    return sizes;
}

const Layout kLayouts[] = {
    {"no records", {}, Placement::Contiguous},
    {"empty bodies only", Many(5, 0), Placement::Contiguous},
    {"scattered small", Many(2000, 100), Placement::Scattered},
    {"scattered mixed", Mixed(), Placement::Scattered},
    {"contiguous mixed", Mixed(), Placement::Contiguous},
    {"reversed mixed", Mixed(), Placement::Reversed},
    {"contiguous large", Many(40, 80000), Placement::Contiguous},
    {"reversed large", Many(3, 200000), Placement::Reversed},
};

class PdbViewsTest : public ScratchTest, public ::testing::WithParamInterface<Layout> {
protected:
    void Build(const Layout &layout) {
        db_ = Header();
        db_.records.resize(layout.sizes.size());
        for (size_t n = 0; n < layout.sizes.size(); ++n) {
            size_t i = layout.placement == Placement::Reversed ? layout.sizes.size() - 1 - n : n;
            PdbRecord &r = db_.records[i];
            r.attributes = static_cast<uint8_t>(i % 16 | (i % 3 == 0 ? kPdbRecSecret : 0));
            r.uniqueId = static_cast<uint32_t>(0xFFFFFF - i);
            r.body = Pattern(layout.sizes[i], static_cast<uint32_t>(i));
        }
    }

    PdbDatabase db_;
};

TEST_P(PdbViewsTest, SavesTheBytesSerializeMakes) {
    SCOPED_TRACE(GetParam().name);
    Build(GetParam());
    Bytes expected;
    ASSERT_EQ(PdbSerialize(db_, &expected), 0);
    EXPECT_EQ(expected.size(), PdbFileSize(db_));
    const std::string path = dir_ + "/Views.pdb";
    ASSERT_EQ(PdbSave(path, db_), 0);
    EXPECT_EQ(ReadAll(path), std::string(expected.begin(), expected.end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "temporary file left";
}

TEST_P(PdbViewsTest, LoadsWhatWasSaved) {
    SCOPED_TRACE(GetParam().name);
    Build(GetParam());
    const std::string path = dir_ + "/Views.pdb";
    ASSERT_EQ(PdbSave(path, db_), 0);
    PdbDatabase loaded;
    ASSERT_EQ(PdbLoad(path, &loaded), 0);
    // Every field and record as saved: the two serialize alike.
    Bytes saved, reloaded;
    ASSERT_EQ(PdbSerialize(db_, &saved), 0);
    ASSERT_EQ(PdbSerialize(loaded, &reloaded), 0);
    EXPECT_EQ(reloaded, saved);
    EXPECT_EQ(PdbName(loaded), "Views");
    ASSERT_EQ(loaded.records.size(), db_.records.size());
    // Written back as it was read, the file comes out the same.
    const std::string copy = dir_ + "/Copy.pdb";
    ASSERT_EQ(PdbSave(copy, loaded), 0);
    EXPECT_EQ(ReadAll(copy), ReadAll(path));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PdbViewsTest, ::testing::ValuesIn(kLayouts));

using PdbViewsFileTest = ScratchTest;

TEST_F(PdbViewsFileTest, LoadFailsAndLeavesItsTargetAlone) {
    PdbDatabase sample = Header();
    sample.records.push_back(PdbRecord{0, 1, Pattern(10, 1)});
    ASSERT_EQ(PdbSave(dir_ + "/short.pdb", sample), 0);
    fs::resize_file(dir_ + "/short.pdb", 40);
    fs::create_directory(dir_ + "/dir.pdb");
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

// (Bodies adding up past 4 GiB are refused too; a test of that would need
// 4 GiB of bodies in memory.)
TEST_F(PdbViewsFileTest, SaveRefusesWhatSerializeRefuses) {
    PdbDatabase db;
    db.records.assign(kPdbMaxRecords + 1, PdbRecord{0, 1, {}});
    Bytes image;
    EXPECT_EQ(PdbSerialize(db, &image), kStandinErrTooMany);
    EXPECT_EQ(PdbSave(dir_ + "/big.pdb", db), kStandinErrTooMany);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 0);
}

// ---- The sync manager's memory ------------------------------------------------------

constexpr uint8_t kReadWrite = kOpenRead | kOpenWrite | kOpenShowSecret;

class SyncManagerStoreTest : public HandheldTest {
protected:
    std::string Path() const { return HandheldTest::Path("Store"); }

    uint8_t Open() {
        uint8_t db = 0;
        EXPECT_EQ(SyncOpenDB("Store", 0, &db, kReadWrite), 0);
        return db;
    }

    // Writes `body` as record `id` (0: a new one) and returns its ID.
    uint32_t Write(uint8_t db, uint32_t id, const Bytes &body, uint8_t attributes = 0) {
        EXPECT_EQ(WriteRecord(db, attributes, 0, std::string(body.begin(), body.end()), &id, id), 0);
        return id;
    }

    // What the handle holds, in order, as (ID, body).
    std::vector<std::pair<uint32_t, Bytes>> Contents(uint8_t db) {
        uint16_t count = 0;
        EXPECT_EQ(SyncGetDBRecordCount(db, &count), 0);
        std::vector<std::pair<uint32_t, Bytes>> contents;
        for (uint16_t i = 0; i < count; ++i) {
            const ReadResult read = ReadRecord(db, i);
            EXPECT_EQ(read.status, 0);
            contents.emplace_back(read.id, Bytes(read.body.begin(), read.body.end()));
        }
        return contents;
    }

    // The file's records, as (ID, body).
    std::vector<std::pair<uint32_t, Bytes>> FileContents() {
        PdbDatabase file;
        EXPECT_EQ(PdbLoad(Path(), &file), 0);
        std::vector<std::pair<uint32_t, Bytes>> contents;
        for (const PdbRecord &r : file.records) contents.emplace_back(r.uniqueId, r.body);
        return contents;
    }

    // A file of `count` records of `size` bytes, IDs 1..count.
    void SaveFile(size_t count, size_t size, uint32_t seed = 0) {
        PdbDatabase file;
        strcpy(file.name, "Store");
        file.uniqueIdSeed = static_cast<uint32_t>(count);
        for (size_t i = 0; i < count; ++i) {
            file.records.push_back(PdbRecord{
                0, static_cast<uint32_t>(i + 1), Pattern(size, static_cast<uint32_t>(seed + i))});
        }
        ASSERT_EQ(PdbSave(Path(), file), 0);
    }

    using Contents_ = std::vector<std::pair<uint32_t, Bytes>>;

    // 3000 new records, small bodies and now and then one of the largest size.
    Contents_ Fill(uint8_t db, uint32_t seed) {
        Contents_ written;
        for (uint32_t i = 0; i < 3000; ++i) {
            Bytes body = Pattern(i % 500 == 499 ? 65535 : 1 + (i * 53) % 700, seed + i);
            written.emplace_back(Write(db, 0, body), body);
        }
        return written;
    }

    // Deletes every record but each `every`th (from `first`) and purges;
    // answers the records kept, checked against what the handle holds.
    Contents_ PurgeAllBut(uint8_t db, const Contents_ &all, size_t every, size_t first) {
        Contents_ kept;
        for (size_t i = 0; i < all.size(); ++i) {
            if (i % every == first)
                kept.push_back(all[i]);
            else
                Write(db, all[i].first, all[i].second, kPdbRecDeleted);
        }
        EXPECT_EQ(SyncPurgeDeletedRecs(db), 0);
        EXPECT_EQ(Contents(db), kept);
        return kept;
    }

    // What the handle holds, then (after the close) what the file holds.
    void ExpectKept(uint8_t db, const Contents_ &expected) {
        ASSERT_EQ(Contents(db), expected);
        ASSERT_EQ(SyncCloseDB(db), 0);
        EXPECT_EQ(FileContents(), expected);
    }
};

TEST_F(SyncManagerStoreTest, BodiesStayIntactAsTheDatabaseGrows) {
    SaveFile(0, 0);
    uint8_t db = Open();
    ExpectKept(db, Fill(db, 0));
}

TEST_F(SyncManagerStoreTest, AnEmptyBodyTakesNoRoom) {
    SaveFile(0, 0);
    const uintmax_t before = fs::file_size(Path());
    uint8_t db = Open();
    const uint32_t id = Write(db, 0, Bytes{});
    ExpectKept(db, {{id, Bytes{}}});
    EXPECT_EQ(fs::file_size(Path()), before + kPdbEntrySize);
}

TEST_F(SyncManagerStoreTest, RecordsWrittenAgainAfterAPurgeOfAllStayIntact) {
    SaveFile(0, 0);
    uint8_t db = Open();
    Fill(db, 0);
    ASSERT_EQ(SyncPurgeAllRecs(db), 0);
    ExpectKept(db, Fill(db, 7));
}

TEST_F(SyncManagerStoreTest, PurgingKeepsTheLiveBodiesOnlyAndTakesNewOnes) {
    SaveFile(0, 0);
    uint8_t db = Open();
    Contents_ expected = PurgeAllBut(db, Fill(db, 3), 3, 0);
    Contents_ more = Fill(db, 11);
    expected.insert(expected.end(), more.begin(), more.end());
    ExpectKept(db, expected);
}

// Many large replacements must not lose or mix up a body.
TEST_F(SyncManagerStoreTest, ReplacingRecordsOverAndOverKeepsEveryBody) {
    SaveFile(5, 1000);
    uint8_t db = Open();
    std::vector<std::pair<uint32_t, Bytes>> expected = Contents(db);
    ASSERT_EQ(expected.size(), 5u);
    for (uint32_t round = 0; round < 200; ++round) {
        size_t which = round % 3 == 0 ? 0 : 2 + round % 3;
        Bytes body = Pattern(round % 2 == 0 ? 20000 : 65535, round + 100);
        EXPECT_EQ(Write(db, expected[which].first, body), expected[which].first);
        expected[which].second = body;
        if (round % 40 == 39) {
            SCOPED_TRACE("round " + std::to_string(round));
            ASSERT_EQ(Contents(db), expected);
        }
    }
    ExpectKept(db, expected);
}

TEST_F(SyncManagerStoreTest, PurgingDeletedRecordsKeepsTheOthersAndTakesNewOnes) {
    SaveFile(100, 30000);
    uint8_t db = Open();
    Contents_ expected = PurgeAllBut(db, Contents(db), 10, 3);
    for (uint32_t i = 0; i < 50; ++i) {
        Bytes body = Pattern(40000, 500 + i);
        expected.emplace_back(Write(db, 0, body), body);
    }
    ExpectKept(db, expected);
}

// After a purge of everything, more new bytes than the old file held.
TEST_F(SyncManagerStoreTest, RecordsWrittenAfterAPurgeOfAllOutgrowTheOldFile) {
    SaveFile(200, 500);
    uint8_t db = Open();
    ASSERT_EQ(SyncPurgeAllRecs(db), 0);
    std::vector<std::pair<uint32_t, Bytes>> expected;
    for (uint32_t i = 0; i < 300; ++i) {
        Bytes body = Pattern(i % 5 == 0 ? 0 : 900 + i, 1000 + i);
        expected.emplace_back(Write(db, 0, body), body);
    }
    std::set<uint32_t> ids;
    for (const auto &record : expected) EXPECT_TRUE(ids.insert(record.first).second);
    ExpectKept(db, expected);
}

// Fresh IDs must skip taken ones, however the taken ones lie, up to the top
// and round again.
TEST_F(SyncManagerStoreTest, FreshIdsSkipTakenOnesAcrossIdPages) {
    const uint32_t kTaken[] = {0xFFFF, 0x10000, 0x10001, 0xFFFFFF, 1};
    for (uint32_t seed : {0xFFFEu, 0xFFFFFEu}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        PdbDatabase file;
        strcpy(file.name, "Store");
        file.uniqueIdSeed = seed;
        for (uint32_t id : kTaken) file.records.push_back(PdbRecord{0, id, {'t'}});
        ASSERT_EQ(PdbSave(Path(), file), 0);
        uint8_t db = Open();
        std::set<uint32_t> ids(std::begin(kTaken), std::end(kTaken));
        for (int i = 0; i < 3; ++i) {
            uint32_t id = Write(db, 0, Bytes{'n'});
            EXPECT_NE(id, 0u);
            EXPECT_TRUE(ids.insert(id).second) << "id " << id << " is taken";
        }
        ASSERT_EQ(SyncCloseDB(db), 0);
    }
}

}  // namespace
