// Databases held as views: the file written from views must be the one
// PdbSerialize makes, however the bodies lie in memory; the body store must
// keep every body it handed out intact across new blocks, resets and
// compaction; and the sync manager, which holds its databases this way, must
// keep every record right however often records are replaced or purged.
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

// ---- Writing from views ---------------------------------------------------------

// Body sizes of one sweep case, and where the bodies lie: each in a vector
// of its own, or one after the other in one buffer (in record order or
// backwards, so that neighbours in memory are not neighbours in the file).
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
    sizes.push_back(70000);  // past the write buffer: goes out directly
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
    // The database of the layout, and views of its bodies placed as asked.
    void Build(const Layout &layout) {
        db_ = Header();
        size_t total = 0;
        for (size_t i = 0; i < layout.sizes.size(); ++i) {
            PdbRecord r;
            r.attributes = static_cast<uint8_t>(i % 16 | (i % 3 == 0 ? kPdbRecSecret : 0));
            r.uniqueId = static_cast<uint32_t>(0xFFFFFF - i);
            r.body = Pattern(layout.sizes[i], static_cast<uint32_t>(i));
            db_.records.push_back(r);
            total += layout.sizes[i];
        }
        buffer_.assign(total, 0);
        views_.resize(db_.records.size());
        size_t at = 0;
        for (size_t n = 0; n < db_.records.size(); ++n) {
            size_t i = layout.placement == Placement::Reversed ? db_.records.size() - 1 - n : n;
            const PdbRecord &r = db_.records[i];
            const uint8_t *body = r.body.data();
            if (layout.placement != Placement::Scattered && !r.body.empty()) {
                memcpy(buffer_.data() + at, r.body.data(), r.body.size());
                body = buffer_.data() + at;
                at += r.body.size();
            }
            views_[i] = PdbRecordView{body, static_cast<uint32_t>(r.body.size()), r.uniqueId,
                                      r.attributes};
        }
    }

    PdbDatabase db_;
    Bytes buffer_;
    std::vector<PdbRecordView> views_;
};

TEST_P(PdbViewsTest, SavesTheBytesSerializeMakes) {
    SCOPED_TRACE(GetParam().name);
    Build(GetParam());
    Bytes expected;
    ASSERT_EQ(PdbSerialize(db_, &expected), 0);
    const std::string path = dir_ + "/Views.pdb";
    ASSERT_EQ(PdbSaveViews(path, db_, views_.data(), views_.size()), 0);
    EXPECT_EQ(ReadAll(path), std::string(expected.begin(), expected.end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "temporary file left";
}

TEST_P(PdbViewsTest, LoadsWhatPdbLoadLoads) {
    SCOPED_TRACE(GetParam().name);
    Build(GetParam());
    const std::string path = dir_ + "/Views.pdb";
    ASSERT_EQ(PdbSave(path, db_), 0);
    PdbHeader header;
    std::vector<PdbRecordView> records;
    PdbStore store;
    ASSERT_EQ(PdbLoadViews(path, &header, &records, &store), 0);
    EXPECT_EQ(PdbName(header), "Views");
    EXPECT_EQ(header.modificationNumber, db_.modificationNumber);
    EXPECT_EQ(header.uniqueIdSeed, db_.uniqueIdSeed);
    EXPECT_EQ(header.appInfo, db_.appInfo);
    EXPECT_EQ(header.sortInfo, db_.sortInfo);
    ASSERT_EQ(records.size(), db_.records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const PdbRecordView &v = records[i];
        EXPECT_EQ(v.attributes, db_.records[i].attributes);
        EXPECT_EQ(v.uniqueId, db_.records[i].uniqueId);
        EXPECT_EQ(Bytes(v.body, v.body + v.size), db_.records[i].body);
    }
    // Written back from where it was read, the file comes out the same.
    const std::string copy = dir_ + "/Copy.pdb";
    ASSERT_EQ(PdbSaveViews(copy, header, records.data(), records.size()), 0);
    EXPECT_EQ(ReadAll(copy), ReadAll(path));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PdbViewsTest, ::testing::ValuesIn(kLayouts));

using PdbViewsFileTest = ScratchTest;

TEST_F(PdbViewsFileTest, LoadViewsFailsLikeLoadAndLeavesItsTargetsAlone) {
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
        EXPECT_EQ(PdbLoad(dir_ + "/" + c.file, &loaded), c.status);
        PdbHeader header;
        strcpy(header.name, "untouched");
        const uint8_t kept[] = {'k'};
        std::vector<PdbRecordView> records{PdbRecordView{kept, 1, 7, 0}};
        PdbStore store;
        ASSERT_NE(PdbStoreBody(&store, kept, 1), nullptr);
        EXPECT_EQ(PdbLoadViews(dir_ + "/" + c.file, &header, &records, &store), c.status);
        EXPECT_EQ(PdbName(header), "untouched");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].body, kept);
        EXPECT_EQ(PdbStoreHeld(store), 1u);
    }
}

TEST_F(PdbViewsFileTest, SaveViewsRefusesWhatSerializeRefuses) {
    PdbHeader header;
    std::vector<PdbRecordView> records(kPdbMaxRecords + 1, PdbRecordView{nullptr, 0, 1, 0});
    EXPECT_EQ(PdbSaveViews(dir_ + "/big.pdb", header, records.data(), records.size()),
              kStandinErrTooMany);
    // Bodies adding up past 4 GiB are refused before anything is read.
    static const uint8_t kByte = 0;
    std::vector<PdbRecordView> huge(2, PdbRecordView{&kByte, 0x80000000u, 1, 0});
    EXPECT_EQ(PdbSaveViews(dir_ + "/huge.pdb", header, huge.data(), huge.size()),
              kStandinErrTooMany);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 0);
}

// ---- The body store --------------------------------------------------------------

struct Kept {
    const uint8_t *at;
    Bytes bytes;
};

void ExpectIntact(const std::vector<Kept> &kept) {
    for (size_t i = 0; i < kept.size(); ++i) {
        SCOPED_TRACE("body " + std::to_string(i));
        ASSERT_NE(kept[i].at, nullptr);
        EXPECT_EQ(Bytes(kept[i].at, kept[i].at + kept[i].bytes.size()), kept[i].bytes);
    }
}

// Small bodies, then some larger than a whole new block would be by default.
std::vector<Kept> Fill(PdbStore *store, uint32_t seed) {
    std::vector<Kept> kept;
    for (uint32_t i = 0; i < 3000; ++i) {
        size_t size = i % 500 == 499 ? 300000 : 1 + (i * 53) % 700;
        Bytes bytes = Pattern(size, seed + i);
        const uint8_t *at = PdbStoreBody(store, bytes.data(), static_cast<uint32_t>(size));
        kept.push_back(Kept{at, bytes});
    }
    return kept;
}

uint64_t Total(const std::vector<Kept> &kept) {
    uint64_t total = 0;
    for (const Kept &k : kept) total += k.bytes.size();
    return total;
}

TEST(PdbStoreTest, BodiesStayWhereTheyWereCopiedAsTheStoreGrows) {
    PdbStore store;
    std::vector<Kept> kept = Fill(&store, 0);
    EXPECT_GT(store.blocks.size(), 2u) << "the sweep should have needed several blocks";
    ExpectIntact(kept);
    EXPECT_EQ(PdbStoreHeld(store), Total(kept));
}

TEST(PdbStoreTest, AnEmptyBodyTakesNoRoom) {
    PdbStore store;
    const uint8_t byte = 1;
    EXPECT_EQ(PdbStoreBody(&store, &byte, 0), nullptr);
    EXPECT_EQ(PdbStoreHeld(store), 0u);
}

TEST(PdbStoreTest, AResetStoreFillsItsOldBlocksAgain) {
    PdbStore store;
    Fill(&store, 0);
    const size_t blocks = store.blocks.size();
    PdbStoreReset(&store);
    EXPECT_EQ(PdbStoreHeld(store), 0u);
    std::vector<Kept> kept = Fill(&store, 7);
    EXPECT_EQ(store.blocks.size(), blocks);
    ExpectIntact(kept);
    EXPECT_EQ(PdbStoreHeld(store), Total(kept));
}

TEST(PdbStoreTest, CompactionKeepsTheLiveBodiesOnly) {
    PdbStore store;
    std::vector<Kept> all = Fill(&store, 3);
    std::vector<Kept> live;
    std::vector<PdbRecordView> views;
    for (size_t i = 0; i < all.size(); i += 3) {
        live.push_back(all[i]);
        views.push_back(PdbRecordView{all[i].at, static_cast<uint32_t>(all[i].bytes.size()),
                                      static_cast<uint32_t>(i), 0});
    }
    views.push_back(PdbRecordView{nullptr, 0, 1, 0});
    ASSERT_EQ(PdbStoreCompact(&store, views.data(), views.size()), 0);
    EXPECT_EQ(PdbStoreHeld(store), Total(live));
    for (size_t i = 0; i < live.size(); ++i) live[i].at = views[i].body;
    ExpectIntact(live);
    // New bodies go after the compacted ones without disturbing them.
    std::vector<Kept> more = Fill(&store, 11);
    ExpectIntact(live);
    ExpectIntact(more);
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
};

// Each replacement leaves the old body behind until the store moves the live
// ones together: many large replacements must not lose or mix up a body.
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
    ASSERT_EQ(SyncCloseDB(db), 0);
    EXPECT_EQ(FileContents(), expected);
}

TEST_F(SyncManagerStoreTest, PurgingDeletedRecordsKeepsTheOthersAndTakesNewOnes) {
    SaveFile(100, 30000);
    uint8_t db = Open();
    std::vector<std::pair<uint32_t, Bytes>> all = Contents(db), expected;
    for (size_t i = 0; i < all.size(); ++i) {
        if (i % 10 == 3)
            expected.push_back(all[i]);
        else
            Write(db, all[i].first, all[i].second, kPdbRecDeleted);
    }
    ASSERT_EQ(SyncPurgeDeletedRecs(db), 0);
    ASSERT_EQ(Contents(db), expected);
    for (uint32_t i = 0; i < 50; ++i) {
        Bytes body = Pattern(40000, 500 + i);
        expected.emplace_back(Write(db, 0, body), body);
    }
    ASSERT_EQ(Contents(db), expected);
    ASSERT_EQ(SyncCloseDB(db), 0);
    EXPECT_EQ(FileContents(), expected);
}

// A purge of everything makes room for the new records where the old file's
// bytes were; more new bytes than the file held must go on past it.
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
    ASSERT_EQ(Contents(db), expected);
    ASSERT_EQ(SyncCloseDB(db), 0);
    EXPECT_EQ(FileContents(), expected);
}

// The IDs in use are kept in pages of 64 Ki IDs: fresh IDs must skip taken
// ones on both sides of a page boundary and at the top.
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
