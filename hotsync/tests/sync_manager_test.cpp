// The stand-in sync manager on a scratch handheld folder: every operation,
// its failure statuses, what thousands of records keep through replacements
// and purges, injected faults, write-back and limits.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "files.h"
#include "handheld.h"
#include "pdb.h"
#include "records.h"
#include "standin.h"

namespace {

namespace fs = std::filesystem;

constexpr uint8_t kReadWrite = kOpenRead | kOpenWrite | kOpenShowSecret;
constexpr int32_t kInjected = 0x7E57;

// How many of this process's descriptors are open on `path`.
int OpenDescriptors(const std::string &path) {
    const fs::path file = fs::canonical(path);
    int count = 0;
    for (const auto &entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(entry.path(), error) == file) ++count;
    }
    return count;
}

class SyncManagerTest : public HandheldTest {
protected:
    void TearDown() override {
        for (ConduitHandle c : extraConduits_) SyncUnRegisterConduit(c);
        HandheldTest::TearDown();
    }

    uint8_t Create(const std::string &name = "TestDB") {
        uint8_t handle = 0;
        EXPECT_EQ(CreateDatabase(name, &handle), 0);
        return handle;
    }

    uint16_t Count(uint8_t db) {
        uint16_t count = 0xBEEF;
        EXPECT_EQ(SyncGetDBRecordCount(db, &count), 0);
        return count;
    }

    uint8_t Open(const std::string &name, uint8_t mode = kReadWrite) {
        uint8_t handle = 0;
        EXPECT_EQ(SyncOpenDB(name.c_str(), 0, &handle, mode), 0);
        return handle;
    }

    std::vector<ConduitHandle> extraConduits_;
};

// ---- Registration -----------------------------------------------------------

TEST_F(SyncManagerTest, RegistrationHandsOutDistinctHandles) {
    ConduitHandle second = 0;
    ASSERT_EQ(SyncRegisterConduit(&second), 0);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, conduit_);
    EXPECT_EQ(SyncUnRegisterConduit(second), 0);
    EXPECT_EQ(SyncUnRegisterConduit(second), kStandinErrBadArgument);
    EXPECT_EQ(SyncUnRegisterConduit(0), kStandinErrBadArgument);
    EXPECT_EQ(SyncRegisterConduit(nullptr), kStandinErrBadArgument);
}

TEST_F(SyncManagerTest, OpeningNeedsARegisteredConduitButHandlesOutliveIt) {
    uint8_t db = Create();
    ASSERT_EQ(SyncUnRegisterConduit(conduit_), 0);
    uint8_t other = 0;
    EXPECT_EQ(SyncOpenDB("TestDB", 0, &other, kReadWrite), kStandinErrNotRegistered);
    EXPECT_EQ(CreateDatabase("Second", &other), kStandinErrNotRegistered);
    EXPECT_FALSE(fs::exists(Path("Second")));
    EXPECT_EQ(WriteRecord(db, 0, 0, "still usable"), 0);
    EXPECT_EQ(SyncCloseDB(db), 0);
    ASSERT_EQ(SyncRegisterConduit(&conduit_), 0);
}

// ---- Open and create --------------------------------------------------------

TEST_F(SyncManagerTest, OpeningAMissingDatabaseAnswers16387) {
    uint8_t db = 0x55;
    EXPECT_EQ(SyncOpenDB("LenfolDB", 0, &db, kReadWrite), 16387);
    EXPECT_EQ(db, 0x55);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
}

TEST_F(SyncManagerTest, OpeningACorruptDatabaseAnswersCorrupt) {
    WriteAll(Path("Broken"), "not a palm database");
    uint8_t db = 0;
    EXPECT_EQ(SyncOpenDB("Broken", 0, &db, kReadWrite), kStandinErrCorrupt);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
    EXPECT_EQ(OpenDescriptors(Path("Broken")), 0);
}

TEST_F(SyncManagerTest, OpenRefusesBadArguments) {
    ASSERT_EQ(SyncCloseDB(Create("Fine")), 0);
    uint8_t db = 0;
    const std::string tooLong(32, 'n');
    EXPECT_EQ(SyncOpenDB(nullptr, 0, &db, kReadWrite), kStandinErrBadArgument);
    EXPECT_EQ(SyncOpenDB("Fine", 0, nullptr, kReadWrite), kStandinErrBadArgument);
    EXPECT_EQ(SyncOpenDB("Fine", 0, &db, kOpenShowSecret), kStandinErrBadArgument);
    EXPECT_EQ(SyncOpenDB("", 0, &db, kReadWrite), kStandinErrBadArgument);
    EXPECT_EQ(SyncOpenDB(tooLong.c_str(), 0, &db, kReadWrite), kStandinErrBadArgument);
    EXPECT_EQ(SyncOpenDB("../Fine", 0, &db, kReadWrite), kStandinErrBadArgument);
    EXPECT_EQ(SyncOpenDB("..", 0, &db, kReadWrite), kStandinErrBadArgument);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
}

TEST_F(SyncManagerTest, ADatabaseOpensOnlyOnce) {
    uint8_t db = Create();
    uint8_t again = 0;
    EXPECT_EQ(SyncOpenDB("TestDB", 0, &again, kReadWrite), kStandinErrExists);
    EXPECT_EQ(CreateDatabase("TestDB", &again), kStandinErrExists);
    EXPECT_EQ(StandinOpenDatabaseCount(), 1);
    EXPECT_EQ(SyncCloseDB(db), 0);
    EXPECT_EQ(SyncCloseDB(Open("TestDB")), 0);
}

TEST_F(SyncManagerTest, CreateWritesAnEmptyDatabaseAtOnce) {
    uint8_t db = 0;
    ASSERT_EQ(CreateDatabase("LenfolDB", &db, 0x0008), 0);
    EXPECT_GE(db, 1);
    PdbDatabase file;
    ASSERT_EQ(PdbLoad(Path("LenfolDB"), &file), 0);
    EXPECT_EQ(PdbName(file), "LenfolDB");
    EXPECT_EQ(file.creator, 0x4C6E466Fu);
    EXPECT_EQ(file.type, 0x4974656Du);
    EXPECT_EQ(file.attributes, 0x0008);
    EXPECT_TRUE(file.records.empty());
    EXPECT_NE(file.creationDate, 0u);
    EXPECT_EQ(Count(db), 0);
    EXPECT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, CreateRefusesAnExistingFileAndBadRequests) {
    WriteAll(Path("Taken"), "anything");
    uint8_t db = 0;
    EXPECT_EQ(CreateDatabase("Taken", &db), kStandinErrExists);
    EXPECT_EQ(ReadAll(Path("Taken")), "anything");
    EXPECT_EQ(CreateDatabase("Res", &db, kPdbAttrResourceDb), kStandinErrBadArgument);
    EXPECT_EQ(CreateDatabase("Wide", &db, 0x10000), kStandinErrBadArgument);
    SyncCreateRequest unterminated{};
    memset(unterminated.name, 'x', sizeof unterminated.name);
    EXPECT_EQ(SyncCreateDB(&unterminated), kStandinErrBadArgument);
    EXPECT_EQ(SyncCreateDB(nullptr), kStandinErrBadArgument);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
    EXPECT_FALSE(fs::exists(Path("Res")));
}

TEST_F(SyncManagerTest, HandlesRunOutAfter255) {
    std::set<int> handles;
    for (int i = 0; i < 255; ++i) handles.insert(Create("Db" + std::to_string(i)));
    EXPECT_EQ(handles.size(), 255u);
    EXPECT_EQ(*handles.begin(), 1);
    EXPECT_EQ(*handles.rbegin(), 255);
    uint8_t db = 0;
    EXPECT_EQ(CreateDatabase("OneTooMany", &db), kStandinErrTooMany);
    EXPECT_EQ(SyncOpenDB("Db0", 0, &db, kReadWrite), kStandinErrExists);
    EXPECT_FALSE(fs::exists(Path("OneTooMany")));
    for (int h : handles) EXPECT_EQ(SyncCloseDB(static_cast<uint8_t>(h)), 0);
}

// ---- Records ------------------------------------------------------------------

struct AttributeCase {
    uint8_t attributesIn;
    int16_t categoryIn;
    uint8_t stored;  // attribute byte in the file
    uint8_t attributesOut;
    int16_t categoryOut;
};

void PrintTo(const AttributeCase &c, std::ostream *os) {
    *os << "attributes 0x" << std::hex << int{c.attributesIn} << std::dec << " category "
        << c.categoryIn;
}

class SyncManagerAttributeTest : public SyncManagerTest,
                                 public ::testing::WithParamInterface<AttributeCase> {};

TEST_P(SyncManagerAttributeTest, StoresAndReportsAttributesAndCategory) {
    const AttributeCase &c = GetParam();
    uint8_t db = Create();
    ASSERT_EQ(WriteRecord(db, c.attributesIn, c.categoryIn, "body"), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    PdbDatabase file;
    ASSERT_EQ(PdbLoad(Path("TestDB"), &file), 0);
    ASSERT_EQ(file.records.size(), 1u);
    EXPECT_EQ(file.records[0].attributes, c.stored);
    db = Open("TestDB");
    ReadResult r = ReadRecord(db, 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.attributes, c.attributesOut);
    EXPECT_EQ(r.category, c.categoryOut);
    EXPECT_EQ(r.body, "body");
    EXPECT_EQ(SyncCloseDB(db), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, SyncManagerAttributeTest,
    ::testing::Values(AttributeCase{0x00, 0, 0x00, 0x00, 0},
                      AttributeCase{0x10, 3, 0x13, 0x10, 3},      // secret
                      AttributeCase{0x40, 15, 0x4F, 0x40, 15},    // dirty
                      AttributeCase{0x20, 7, 0x27, 0x20, 7},      // busy
                      AttributeCase{0x50, 12, 0x5C, 0x50, 12},    // secret and dirty
                      AttributeCase{0x80, 9, 0x80, 0x80, 0},      // deleted: no category
                      AttributeCase{0x88, 4, 0x88, 0x88, 0},      // deleted and archived
                      AttributeCase{0xD8, 0, 0xD8, 0xD8, 0},      // all of it
                      AttributeCase{0x08, 2, 0x02, 0x00, 2},      // archive alone means nothing
                      AttributeCase{0x17, 1, 0x11, 0x10, 1}));    // stray low bits dropped

TEST_F(SyncManagerTest, WriteRefusesCategoriesOutsideTheNibble) {
    uint8_t db = Create();
    for (int16_t category : {int16_t{-1}, int16_t{16}, int16_t{300}}) {
        SCOPED_TRACE(category);
        EXPECT_EQ(WriteRecord(db, 0, category, "x"), kStandinErrBadArgument);
    }
    EXPECT_EQ(Count(db), 0);
    EXPECT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, WriteRefusesBadRequests) {
    uint8_t db = Create();
    EXPECT_EQ(SyncWriteRec(nullptr), kStandinErrBadArgument);
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.recordSize = 4;
    EXPECT_EQ(SyncWriteRec(&request), kStandinErrBadArgument);  // no buffer
    EXPECT_EQ(WriteRecord(db, 0, 0, "x", nullptr, 0x1000000), kStandinErrBadArgument);
    EXPECT_EQ(Count(db), 0);
    request.recordSize = 0;
    EXPECT_EQ(SyncWriteRec(&request), 0);  // an empty body needs no buffer
    EXPECT_EQ(ReadRecord(db, 0).size, 0u);
    EXPECT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, NewRecordsGetFreshIdsThatAvoidTakenOnes) {
    uint8_t db = Create();
    std::set<uint32_t> taken;
    for (uint32_t id = 1; id <= 40; ++id) {
        uint32_t written = 0;
        ASSERT_EQ(WriteRecord(db, 0, 0, "explicit", &written, id), 0);
        EXPECT_EQ(written, id);
        taken.insert(id);
    }
    for (int i = 0; i < 20; ++i) {
        uint32_t id = 0;
        ASSERT_EQ(WriteRecord(db, 0, 0, "fresh", &id), 0);
        EXPECT_NE(id, 0u);
        EXPECT_LE(id, 0xFFFFFFu);
        EXPECT_TRUE(taken.insert(id).second) << "id " << id << " handed out twice";
    }
    EXPECT_EQ(Count(db), 60);
    for (uint16_t i = 0; i < 60; ++i) EXPECT_EQ(taken.count(ReadRecord(db, i).id), 1u);
    EXPECT_EQ(SyncCloseDB(db), 0);
}

// IDs chosen by the caller below the highest in use, after fresh ones were
// handed out, are stepped over like any other.
TEST_F(SyncManagerTest, FreshIdsAvoidIdsChosenLaterOutOfOrder) {
    uint8_t db = Create();
    uint32_t first = 0;
    ASSERT_EQ(WriteRecord(db, 0, 0, "fresh", &first), 0);
    std::set<uint32_t> taken{first};
    for (uint32_t id : {first + 9, first + 4, first + 6, first + 2, first + 1}) {
        ASSERT_EQ(WriteRecord(db, 0, 0, "chosen", nullptr, id), 0);
        taken.insert(id);
    }
    for (int i = 0; i < 12; ++i) {
        uint32_t id = 0;
        ASSERT_EQ(WriteRecord(db, 0, 0, "fresh", &id), 0);
        EXPECT_TRUE(taken.insert(id).second) << "id " << id << " handed out twice";
    }
    EXPECT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, FreshIdsWrapPastTheTopWithoutZero) {
    // The seed just below the top; the file takes 1, and the top itself or not.
    const std::set<uint32_t> kTaken[] = {{1}, {0xFFFFFF, 1}};
    for (const std::set<uint32_t> &taken : kTaken) {
        SCOPED_TRACE(taken.size() == 1 ? "the top free" : "the top taken");
        PdbDatabase file;
        strcpy(file.name, "Wrap");
        file.uniqueIdSeed = 0xFFFFFE;
        for (uint32_t id : taken) file.records.push_back(PdbRecord{0, id, {'a'}});
        ASSERT_EQ(PdbSave(Path("Wrap"), file), 0);
        uint8_t db = Open("Wrap");
        std::set<uint32_t> ids = taken;
        for (int i = 0; i < 3; ++i) {
            uint32_t id = 0;
            ASSERT_EQ(WriteRecord(db, 0, 0, "b", &id), 0);
            EXPECT_NE(id, 0u);
            EXPECT_LE(id, 0xFFFFFFu);
            EXPECT_TRUE(ids.insert(id).second) << id;
        }
        EXPECT_EQ(SyncCloseDB(db), 0);
    }
}

TEST_F(SyncManagerTest, AKnownIdReplacesThatRecordAnUnknownOneAppends) {
    uint8_t db = Create();
    uint32_t first = 0, second = 0;
    ASSERT_EQ(WriteRecord(db, 0x40, 1, "one", &first), 0);
    ASSERT_EQ(WriteRecord(db, 0x40, 2, "two", &second), 0);
    ASSERT_EQ(WriteRecord(db, 0x10, 7, "TWO!", nullptr, second), 0);
    EXPECT_EQ(Count(db), 2);
    ReadResult r = ReadRecord(db, 1);
    EXPECT_EQ(r.id, second);
    EXPECT_EQ(r.body, "TWO!");
    EXPECT_EQ(r.attributes, 0x10);
    EXPECT_EQ(r.category, 7);
    uint32_t chosen = 0;
    ASSERT_EQ(WriteRecord(db, 0, 0, "three", &chosen, 0xABCDEF), 0);
    EXPECT_EQ(chosen, 0xABCDEFu);
    EXPECT_EQ(Count(db), 3);
    EXPECT_EQ(ReadRecord(db, 2).id, 0xABCDEFu);
    EXPECT_EQ(ReadRecord(db, 0).body, "one");
    EXPECT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, ReadCopiesAtMostTheBufferAndReportsTheFullSize) {
    uint8_t db = Create();
    const std::string big(70000, 'b');
    ASSERT_EQ(WriteRecord(db, 0, 0, "0123456789"), 0);
    ASSERT_EQ(WriteRecord(db, 0, 0, big), 0);
    ReadResult r = ReadRecord(db, 0, 4);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.size, 10u);
    EXPECT_EQ(r.body, "0123");
    r = ReadRecord(db, 1, 65535);
    EXPECT_EQ(r.size, 70000u);
    EXPECT_EQ(r.body, big.substr(0, 65535));
    SyncRecordRequest sizeOnly{};
    sizeOnly.dbHandle = db;
    EXPECT_EQ(SyncReadRecordByIndex(&sizeOnly), 0);
    EXPECT_EQ(uint32_t{sizeOnly.recordSize}, 10u);  // packed: copy, not a reference
    sizeOnly.bufferSize = 5;
    EXPECT_EQ(SyncReadRecordByIndex(&sizeOnly), kStandinErrBadArgument);
    EXPECT_EQ(ReadRecord(db, 2).status, kStandinErrNotFound);
    EXPECT_EQ(ReadRecord(db, 65535).status, kStandinErrNotFound);
    EXPECT_EQ(SyncReadRecordByIndex(nullptr), kStandinErrBadArgument);
    EXPECT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, ADatabaseOpenedForReadingRefusesChanges) {
    uint8_t db = Create();
    ASSERT_EQ(WriteRecord(db, 0xC0, 0, "deleted and dirty"), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    const std::string before = ReadAll(Path("TestDB"));
    db = Open("TestDB", kOpenRead | kOpenShowSecret);
    EXPECT_EQ(WriteRecord(db, 0, 0, "x"), kStandinErrReadOnly);
    EXPECT_EQ(SyncPurgeDeletedRecs(db), kStandinErrReadOnly);
    EXPECT_EQ(SyncPurgeAllRecs(db), kStandinErrReadOnly);
    EXPECT_EQ(SyncResetSyncFlags(db), kStandinErrReadOnly);
    EXPECT_EQ(Count(db), 1);
    EXPECT_EQ(ReadRecord(db, 0).body, "deleted and dirty");
    EXPECT_EQ(SyncCloseDB(db), 0);
    EXPECT_EQ(ReadAll(Path("TestDB")), before);
}

TEST_F(SyncManagerTest, PurgesAndResetKeepWhatTheyShould) {
    uint8_t db = Create();
    uint32_t liveId = 0, secretId = 0;
    ASSERT_EQ(WriteRecord(db, 0x40, 3, "live", &liveId), 0);
    ASSERT_EQ(WriteRecord(db, 0xC0, 0, "deleted"), 0);
    ASSERT_EQ(WriteRecord(db, 0x88, 0, "archived"), 0);
    ASSERT_EQ(WriteRecord(db, 0x50, 9, "secret", &secretId), 0);
    EXPECT_EQ(Count(db), 4);
    ASSERT_EQ(SyncPurgeDeletedRecs(db), 0);
    ASSERT_EQ(Count(db), 2);
    EXPECT_EQ(ReadRecord(db, 0).id, liveId);
    EXPECT_EQ(ReadRecord(db, 1).id, secretId);
    ASSERT_EQ(SyncResetSyncFlags(db), 0);
    ReadResult r = ReadRecord(db, 1);
    EXPECT_EQ(r.attributes, 0x10);
    EXPECT_EQ(r.category, 9);
    EXPECT_EQ(ReadRecord(db, 0).attributes, 0x00);
    ASSERT_EQ(SyncCloseDB(db), 0);

    PdbDatabase file;
    ASSERT_EQ(PdbLoad(Path("TestDB"), &file), 0);
    EXPECT_EQ(file.records.size(), 2u);
    EXPECT_NE(file.backupDate, 0u);
    db = Open("TestDB");
    ASSERT_EQ(SyncPurgeAllRecs(db), 0);
    EXPECT_EQ(Count(db), 0);
    EXPECT_EQ(ReadRecord(db, 0).status, kStandinErrNotFound);
    uint32_t id = 0;
    ASSERT_EQ(WriteRecord(db, 0, 0, "after purge", &id), 0);
    EXPECT_NE(id, liveId);  // the seed moves on: no ID comes back
    EXPECT_NE(id, secretId);
    ASSERT_EQ(SyncCloseDB(db), 0);
    ASSERT_EQ(PdbLoad(Path("TestDB"), &file), 0);
    EXPECT_EQ(file.records.size(), 1u);
}

// ---- What the handle and the file hold -------------------------------------------

// Thousands of records with bodies up to the largest size, some read from the
// file and some written since: each keeps its ID, its body and its place, in
// the handle and in the file written back, however often records are
// replaced or purged.
class SyncManagerContentsTest : public SyncManagerTest {
protected:
    using Records = std::vector<std::pair<uint32_t, std::string>>;  // (ID, body)

    // TestDB as a file of `count` records of `size` bytes, IDs 1..count, opened.
    uint8_t OpenFile(size_t count, size_t size) {
        PdbDatabase file;
        strcpy(file.name, "TestDB");
        file.uniqueIdSeed = static_cast<uint32_t>(count);
        for (size_t i = 0; i < count; ++i) {
            const std::string body = Pattern(size, static_cast<uint32_t>(i));
            file.records.push_back(
                PdbRecord{0, static_cast<uint32_t>(i + 1), {body.begin(), body.end()}});
        }
        EXPECT_EQ(PdbSave(Path("TestDB"), file), 0);
        return Open("TestDB");
    }

    // Writes `body` as record `id` (0: a new one) and returns its ID.
    uint32_t Write(uint8_t db, uint32_t id, const std::string &body, uint8_t attributes = 0) {
        EXPECT_EQ(WriteRecord(db, attributes, 0, body, &id, id), 0);
        return id;
    }

    Records Contents(uint8_t db) {
        Records contents;
        for (uint16_t i = 0, count = Count(db); i < count; ++i) {
            const ReadResult read = ReadRecord(db, i);
            EXPECT_EQ(read.status, 0);
            contents.emplace_back(read.id, read.body);
        }
        return contents;
    }

    Records FileContents() {
        PdbDatabase file;
        EXPECT_EQ(PdbLoad(Path("TestDB"), &file), 0);
        Records contents;
        for (const PdbRecord &r : file.records)
            contents.emplace_back(r.uniqueId, std::string(r.body.begin(), r.body.end()));
        return contents;
    }

    // 3000 new records: small bodies, now and then an empty one or one of the
    // largest size.
    Records Fill(uint8_t db, uint32_t seed) {
        Records written;
        for (uint32_t i = 0; i < 3000; ++i) {
            const std::string body = Pattern(i % 500 == 499 ? 65535 : (i * 53) % 700, seed + i);
            written.emplace_back(Write(db, 0, body), body);
        }
        return written;
    }

    // Deletes every record but each `every`th (from `first`) and purges;
    // answers the records kept, checked against what the handle holds.
    Records PurgeAllBut(uint8_t db, const Records &all, size_t every, size_t first) {
        Records kept;
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
    void ExpectKept(uint8_t db, const Records &expected) {
        ASSERT_EQ(Contents(db), expected);
        ASSERT_EQ(SyncCloseDB(db), 0);
        EXPECT_EQ(FileContents(), expected);
    }

    static void Append(Records *records, const Records &more) {
        records->insert(records->end(), more.begin(), more.end());
    }
};

TEST_F(SyncManagerContentsTest, AnEmptyRecordAddsOnlyItsEntryToTheFile) {
    uint8_t db = OpenFile(0, 0);
    const uintmax_t before = fs::file_size(Path("TestDB"));
    const uint32_t id = Write(db, 0, "");
    ExpectKept(db, {{id, ""}});
    EXPECT_EQ(fs::file_size(Path("TestDB")), before + kPdbEntrySize);
}

// New records after the file's own, then a purge of all and new records
// again, more bytes than the file held: each kept in order, with an ID of its
// own.
TEST_F(SyncManagerContentsTest, KeepsEveryNewRecordBeforeAndAfterAPurgeOfAll) {
    uint8_t db = OpenFile(200, 500);
    Records expected = Contents(db);
    ASSERT_EQ(expected.size(), 200u);
    Append(&expected, Fill(db, 0));
    ASSERT_EQ(Contents(db), expected);
    ASSERT_EQ(SyncPurgeAllRecs(db), 0);
    EXPECT_EQ(Count(db), 0);
    expected = Fill(db, 7);
    std::set<uint32_t> ids;
    for (const auto &record : expected)
        EXPECT_TRUE(ids.insert(record.first).second) << "id " << record.first << " twice";
    ExpectKept(db, expected);
}

// Records of the file and records written since purged together, the first
// one purged or kept.
TEST_F(SyncManagerContentsTest, PurgingDeletedRecordsKeepsTheOthersInOrderAndTakesNewOnes) {
    const struct {
        size_t every, first;
    } kKept[] = {{3, 0}, {10, 3}};
    for (const auto &kept : kKept) {
        SCOPED_TRACE("every " + std::to_string(kept.every) + "th from " +
                     std::to_string(kept.first));
        uint8_t db = OpenFile(100, 30000);
        Records all = Contents(db);
        Append(&all, Fill(db, 3));
        Records expected = PurgeAllBut(db, all, kept.every, kept.first);
        Append(&expected, Fill(db, 11));
        ExpectKept(db, expected);
    }
}

// Bodies replaced many times, growing and shrinking, must not lose or mix up
// a body, the replaced record's or a neighbour's.
TEST_F(SyncManagerContentsTest, ReplacingRecordsOverAndOverKeepsEveryBody) {
    uint8_t db = OpenFile(5, 1000);
    Records expected = Contents(db);
    ASSERT_EQ(expected.size(), 5u);
    for (uint32_t round = 0; round < 200; ++round) {
        size_t which = round % 3 == 0 ? 0 : 2 + round % 3;
        const std::string body = Pattern(round % 2 == 0 ? 20000 : 65535, round + 100);
        EXPECT_EQ(Write(db, expected[which].first, body), expected[which].first);
        expected[which].second = body;
        if (round % 40 == 39) {
            SCOPED_TRACE("round " + std::to_string(round));
            ASSERT_EQ(Contents(db), expected);
        }
    }
    ExpectKept(db, expected);
}

// The bodies stay in the file while the database is open: read in any
// order, across the file's read buffer, each is the one written, and the
// file is held open once, until the close or a purge of every record.
TEST_F(SyncManagerContentsTest, BodiesInTheFileReadInAnyOrderWhileItIsOpen) {
    uint8_t db = OpenFile(300, 700);
    EXPECT_EQ(OpenDescriptors(Path("TestDB")), 1);
    const Records expected = Contents(db);
    for (size_t step : {299, 7, 150}) {
        SCOPED_TRACE("every " + std::to_string(step) + "th");
        for (size_t n = 0, i = 0; n < expected.size(); ++n, i = (i + step) % expected.size())
            EXPECT_EQ(ReadRecord(db, static_cast<uint16_t>(i)).body, expected[i].second) << i;
    }
    ASSERT_EQ(SyncResetSyncFlags(db), 0);
    ExpectKept(db, expected);
    EXPECT_EQ(OpenDescriptors(Path("TestDB")), 0);

    db = Open("TestDB");
    ASSERT_EQ(SyncPurgeAllRecs(db), 0);
    EXPECT_EQ(OpenDescriptors(Path("TestDB")), 0);
    ExpectKept(db, {});
}

// A file cut short under an open database: the bodies it lost cannot be
// read or written back, and the file stays as it is.
TEST_F(SyncManagerContentsTest, ABodyTheFileNoLongerHoldsFailsItsReadAndTheWriteBack) {
    uint8_t db = OpenFile(10, 1000);
    const uintmax_t cut = fs::file_size(Path("TestDB")) - 1500;
    fs::resize_file(Path("TestDB"), cut);
    EXPECT_EQ(ReadRecord(db, 0).status, 0);
    char buffer[1000];
    SyncRecordRequest read{};
    read.dbHandle = db;
    read.recordIndex = 8;
    read.buffer = buffer;
    read.bufferSize = sizeof buffer;
    EXPECT_EQ(SyncReadRecordByIndex(&read), kStandinErrIo);
    ASSERT_EQ(SyncResetSyncFlags(db), 0);
    EXPECT_EQ(SyncCloseDB(db), kStandinErrIo);
    EXPECT_EQ(fs::file_size(Path("TestDB")), cut);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "temporary file left";
}

// ---- Write-back ---------------------------------------------------------------

struct FileIdentity {
    ino_t inode;
    std::string bytes;
};

FileIdentity Identify(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return FileIdentity{st.st_ino, ReadAll(path)};
}

TEST_F(SyncManagerTest, CloseRewritesTheFileOnlyAfterAChange) {
    uint8_t db = Create();
    ASSERT_EQ(WriteRecord(db, 0, 2, "kept"), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    PdbDatabase file;
    ASSERT_EQ(PdbLoad(Path("TestDB"), &file), 0);
    const uint32_t number = file.modificationNumber;
    FileIdentity before = Identify(Path("TestDB"));

    db = Open("TestDB");
    ReadRecord(db, 0);
    Count(db);
    ASSERT_EQ(SyncPurgeDeletedRecs(db), 0);  // nothing to purge
    ASSERT_EQ(SyncCloseDB(db), 0);
    FileIdentity unchanged = Identify(Path("TestDB"));
    EXPECT_EQ(unchanged.inode, before.inode);
    EXPECT_EQ(unchanged.bytes, before.bytes);

    db = Open("TestDB");
    ASSERT_EQ(WriteRecord(db, 0, 3, "added"), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    EXPECT_NE(Identify(Path("TestDB")).inode, before.inode);
    ASSERT_EQ(PdbLoad(Path("TestDB"), &file), 0);
    EXPECT_EQ(file.modificationNumber, number + 1);
    EXPECT_EQ(file.records.size(), 2u);
}

// Root ignores directory permissions, so a file-size limit makes the write fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    struct rlimit saved_ {};
    sighandler_t oldHandler_;
};

TEST_F(SyncManagerTest, AFailedWriteBackKeepsTheOldFileAndFreesTheHandle) {
    uint8_t db = Create();
    ASSERT_EQ(WriteRecord(db, 0, 1, "original"), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    FileIdentity before = Identify(Path("TestDB"));

    db = Open("TestDB");
    ASSERT_EQ(WriteRecord(db, 0, 1, std::string(4096, 'n')), 0);
    int32_t status = 0;
    {
        FileSizeLimit limit(before.bytes.size() + 100);
        status = SyncCloseDB(db);
    }
    EXPECT_EQ(status, kStandinErrIo);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
    EXPECT_EQ(SyncCloseDB(db), kStandinErrBadArgument);
    FileIdentity after = Identify(Path("TestDB"));
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "temporary file left";
}

TEST_F(SyncManagerTest, AnInjectedCloseFailureDropsTheChangesAndFreesTheHandle) {
    uint8_t db = Create();
    ASSERT_EQ(SyncCloseDB(db), 0);
    const std::string before = ReadAll(Path("TestDB"));
    db = Open("TestDB");
    ASSERT_EQ(WriteRecord(db, 0, 0, "lost"), 0);
    StandinClearFaults();
    StandinFailCall("SyncCloseDB", 1, kInjected, 0);
    EXPECT_EQ(SyncCloseDB(db), kInjected);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
    EXPECT_EQ(ReadAll(Path("TestDB")), before);
}

TEST_F(SyncManagerTest, HoldsAtMost65535Records) {
    uint8_t db = Create();
    for (int i = 0; i < kPdbMaxRecords; ++i) ASSERT_EQ(WriteRecord(db, 0, 0, "r"), 0) << i;
    EXPECT_EQ(Count(db), 65535);
    EXPECT_EQ(WriteRecord(db, 0, 0, "one too many"), kStandinErrTooMany);
    EXPECT_EQ(WriteRecord(db, 0, 0, "nor with a new id", nullptr, 0xFEDCBA), kStandinErrTooMany);
    uint32_t lastId = ReadRecord(db, 65534).id;
    EXPECT_EQ(WriteRecord(db, 0, 5, "replacing is fine", nullptr, lastId), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    db = Open("TestDB");
    EXPECT_EQ(Count(db), 65535);
    EXPECT_EQ(ReadRecord(db, 65534).body, "replacing is fine");
    EXPECT_EQ(SyncCloseDB(db), 0);
}

// The file's offsets are 32-bit: a body that would take it past 4 GiB is
// refused before a byte of it is read (the buffer here holds one).
TEST_F(SyncManagerTest, RefusesABodyThatWouldOutgrowTheFile) {
    uint8_t db = Create();
    ASSERT_EQ(WriteRecord(db, 0, 0, "kept"), 0);
    char one = 'x';
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.buffer = &one;
    request.recordSize = 0xFFFFFFFFu - kPdbHeaderSize - 2 * kPdbEntrySize;
    EXPECT_EQ(SyncWriteRec(&request), kStandinErrTooMany);
    EXPECT_EQ(Count(db), 1);
    ASSERT_EQ(SyncCloseDB(db), 0);
}

TEST_F(SyncManagerTest, TheHandheldFolderDefaultsToTheEnvironment) {
    setenv("HOTSYNC_HANDHELD", dir_.c_str(), 1);
    StandinSetHandheldDir(nullptr);
    EXPECT_EQ(std::string(StandinHandheldDir()), dir_);
    unsetenv("HOTSYNC_HANDHELD");
    StandinSetHandheldDir("");
    EXPECT_EQ(std::string(StandinHandheldDir()), ".");
    StandinSetHandheldDir(dir_.c_str());
}

// ---- Bad handles --------------------------------------------------------------

struct HandleOp {
    const char *name;
    std::function<int32_t(uint8_t)> call;
};

void PrintTo(const HandleOp &op, std::ostream *os) { *os << op.name; }

int32_t ReadWith(uint8_t db) {
    char buffer[8];
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.bufferSize = sizeof buffer;
    request.buffer = buffer;
    return SyncReadRecordByIndex(&request);
}

int32_t WriteWith(uint8_t db) {
    char body[] = "b";
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.recordSize = 1;
    request.buffer = body;
    return SyncWriteRec(&request);
}

const HandleOp kHandleOps[] = {
    {"SyncCloseDB", SyncCloseDB},
    {"SyncResetSyncFlags", SyncResetSyncFlags},
    {"SyncPurgeDeletedRecs", SyncPurgeDeletedRecs},
    {"SyncPurgeAllRecs", SyncPurgeAllRecs},
    {"SyncGetDBRecordCount", [](uint8_t db) {
         uint16_t count = 0;
         return SyncGetDBRecordCount(db, &count);
     }},
    {"SyncReadRecordByIndex", ReadWith},
    {"SyncWriteRec", WriteWith},
};

class SyncManagerHandleTest : public SyncManagerTest,
                              public ::testing::WithParamInterface<HandleOp> {};

TEST_P(SyncManagerHandleTest, UnknownHandlesAreRefused) {
    uint8_t db = Create();
    ASSERT_EQ(WriteRecord(db, 0, 0, "x"), 0);
    uint8_t closed = Create("Closed");
    ASSERT_EQ(SyncCloseDB(closed), 0);
    for (uint8_t bad : {uint8_t{0}, closed, uint8_t{200}, uint8_t{255}}) {
        SCOPED_TRACE("handle " + std::to_string(bad));
        EXPECT_EQ(GetParam().call(bad), kStandinErrBadArgument);
    }
    EXPECT_EQ(Count(db), 1);
    EXPECT_EQ(StandinOpenDatabaseCount(), 1);
    EXPECT_EQ(GetParam().call(db), 0);
    if (StandinOpenDatabaseCount() == 1) {
        EXPECT_EQ(SyncCloseDB(db), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, SyncManagerHandleTest, ::testing::ValuesIn(kHandleOps));

TEST_F(SyncManagerTest, CountNeedsSomewhereToPutIt) {
    uint8_t db = Create();
    EXPECT_EQ(SyncGetDBRecordCount(db, nullptr), kStandinErrBadArgument);
    EXPECT_EQ(SyncCloseDB(db), 0);
}

// ---- Fault injection ----------------------------------------------------------

class SyncManagerFaultTest;

struct FaultOp {
    const char *name;
    // Runs the operation once on the fixture's database "Main" (open as db)
    // and undoes whatever it opened or registered.
    std::function<int32_t(SyncManagerFaultTest &, uint8_t db)> call;
};

void PrintTo(const FaultOp &op, std::ostream *os) { *os << op.name; }

class SyncManagerFaultTest : public SyncManagerTest,
                             public ::testing::WithParamInterface<FaultOp> {
public:
    int32_t OpenAndClose() {
        uint8_t db = 0;
        int32_t status = SyncOpenDB("Other", 0, &db, kReadWrite);
        if (status == 0) {
            EXPECT_EQ(SyncCloseDB(db), 0);
        }
        return status;
    }
    int32_t CreateAndClose() {
        uint8_t db = 0;
        int32_t status = CreateDatabase("New" + std::to_string(++created_), &db);
        if (status == 0) {
            EXPECT_EQ(SyncCloseDB(db), 0);
        }
        return status;
    }
    int32_t CloseOther() {
        uint8_t db = 0;
        EXPECT_EQ(SyncOpenDB("Other", 0, &db, kReadWrite), 0);
        return SyncCloseDB(db);
    }
    int32_t Register() {
        ConduitHandle c = 0;
        int32_t status = SyncRegisterConduit(&c);
        if (status == 0) extraConduits_.push_back(c);
        return status;
    }
    int32_t Unregister() {
        ConduitHandle c = 0;
        EXPECT_EQ(SyncRegisterConduit(&c), 0);
        int32_t status = SyncUnRegisterConduit(c);
        if (status != 0) extraConduits_.push_back(c);
        return status;
    }

protected:
    void SetUp() override {
        SyncManagerTest::SetUp();
        uint8_t other = Create("Other");
        ASSERT_EQ(SyncCloseDB(other), 0);
        db_ = Create("Main");
        ASSERT_EQ(WriteRecord(db_, 0x40, 1, "live"), 0);
        ASSERT_EQ(WriteRecord(db_, 0x80, 0, "deleted"), 0);
        StandinClearFaults();
    }
    void TearDown() override {
        StandinClearFaults();
        EXPECT_EQ(SyncCloseDB(db_), 0);
        SyncManagerTest::TearDown();
    }

    // Runs the operation three times and returns the three statuses.
    std::vector<int32_t> RunThrice() {
        std::vector<int32_t> statuses;
        for (int i = 0; i < 3; ++i) statuses.push_back(GetParam().call(*this, db_));
        return statuses;
    }

    uint8_t db_ = 0;
    int created_ = 0;
};

const FaultOp kFaultOps[] = {
    {"SyncRegisterConduit", [](SyncManagerFaultTest &t, uint8_t) { return t.Register(); }},
    {"SyncUnRegisterConduit", [](SyncManagerFaultTest &t, uint8_t) { return t.Unregister(); }},
    {"SyncOpenDB", [](SyncManagerFaultTest &t, uint8_t) { return t.OpenAndClose(); }},
    {"SyncCreateDB", [](SyncManagerFaultTest &t, uint8_t) { return t.CreateAndClose(); }},
    {"SyncCloseDB", [](SyncManagerFaultTest &t, uint8_t) { return t.CloseOther(); }},
    {"SyncResetSyncFlags", [](SyncManagerFaultTest &, uint8_t db) { return SyncResetSyncFlags(db); }},
    {"SyncWriteRec", [](SyncManagerFaultTest &, uint8_t db) { return WriteWith(db); }},
    {"SyncReadRecordByIndex", [](SyncManagerFaultTest &, uint8_t db) { return ReadWith(db); }},
    {"SyncPurgeDeletedRecs", [](SyncManagerFaultTest &, uint8_t db) { return SyncPurgeDeletedRecs(db); }},
    {"SyncPurgeAllRecs", [](SyncManagerFaultTest &, uint8_t db) { return SyncPurgeAllRecs(db); }},
    {"SyncGetDBRecordCount", [](SyncManagerFaultTest &, uint8_t db) {
         uint16_t count = 0;
         return SyncGetDBRecordCount(db, &count);
     }},
};

TEST_P(SyncManagerFaultTest, AOneShotFaultFailsOnlyThatCall) {
    StandinFailCall(GetParam().name, 2, kInjected, 0);
    EXPECT_EQ(RunThrice(), (std::vector<int32_t>{0, kInjected, 0}));
    EXPECT_EQ(StandinCallCount(GetParam().name), 3);
    EXPECT_EQ(StandinInjectedCount(), 1);
    EXPECT_EQ(StandinOpenDatabaseCount(), 1);
}

TEST_P(SyncManagerFaultTest, APersistentFaultFailsEveryLaterCall) {
    StandinFailCall(GetParam().name, 2, kInjected, 1);
    EXPECT_EQ(RunThrice(), (std::vector<int32_t>{0, kInjected, kInjected}));
    EXPECT_EQ(StandinInjectedCount(), 2);
    EXPECT_EQ(StandinOpenDatabaseCount(), 1);
}

TEST_P(SyncManagerFaultTest, AFiredFaultChangesNothing) {
    StandinFailCall(GetParam().name, 1, kInjected, 1);
    GetParam().call(*this, db_);
    StandinClearFaults();
    EXPECT_EQ(Count(db_), 2);
    EXPECT_EQ(ReadRecord(db_, 0).attributes, 0x40);
    EXPECT_EQ(ReadRecord(db_, 1).attributes, 0x80);
    EXPECT_FALSE(fs::exists(Path("New1")));
}

INSTANTIATE_TEST_SUITE_P(Operations, SyncManagerFaultTest, ::testing::ValuesIn(kFaultOps));

}  // namespace
