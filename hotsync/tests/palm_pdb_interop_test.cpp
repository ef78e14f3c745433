// The stand-in's .pdb files against the reference implementation, Perl's
// Palm::PDB: what the stand-in writes through the sync manager must read back
// there, and what Palm::PDB writes must read back through the sync manager.
// Perl and Palm::PDB are build dependencies (scripts/deps.sh): without them
// these tests fail rather than skip.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "files.h"
#include "handheld.h"
#include "pdb.h"
#include "process.h"
#include "records.h"
#include "standin.h"

namespace {

namespace fs = std::filesystem;

const std::string kScripts = TEST_SOURCE_DIR;

std::string Hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string Binary(size_t length) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) bytes += static_cast<char>(i * 7 + 3);
    return bytes;
}

class PalmPdbInteropTest : public HandheldTest {
protected:
    ProcessResult Dump(const std::string &name) {
        return RunProcess({"/usr/bin/perl", kScripts + "/pdb_dump.pl", Path(name)}, {});
    }

};

TEST_F(PalmPdbInteropTest, PerlAndPalmPdbAreInstalled) {
    ProcessResult r = RunProcess({"/usr/bin/perl", "-MPalm::PDB", "-MPalm::Raw", "-e", "print qq(ok)"}, {});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ok") << "install libpalm-pdb-perl (scripts/deps.sh)";
}

// A record as the stand-in is asked to write it and as Palm::PDB must see it.
struct Written {
    uint8_t attributes;
    int16_t category;
    std::string body;
    const char *perlFlags;
    const char *perlCategory;
};

TEST_F(PalmPdbInteropTest, PalmPdbReadsWhatTheStandInWrites) {
    const std::vector<Written> records = {
        {0x00, 0, "plain", "-", "0"},
        {0x50, 12, Binary(40), "Dirty,Secret", "12"},
        {0x80, 6, "gone", "Delete", "-"},
        {0x88, 0, "archived", "Delete,archive", "-"},
        {0x00, 1, "", "-", "1"},
        {0x40, 3, std::string(2000, 'L'), "Dirty", "3"},
        {0x20, 5, "busy", "Busy", "-"},
        {0x10, 15, "secret", "Secret", "15"},
    };
    uint8_t db = 0;
    ASSERT_EQ(CreateDatabase("LenfolDB", &db), 0);
    std::vector<uint32_t> ids(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(WriteRecord(db, records[i].attributes, records[i].category, records[i].body, &ids[i]), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);

    std::ostringstream expected;
    expected << "name LenfolDB\ncreator LnFo\ntype Item\nrecords " << records.size() << "\n";
    for (size_t i = 0; i < records.size(); ++i) {
        expected << "record id=" << ids[i] << " flags=" << records[i].perlFlags
                 << " category=" << records[i].perlCategory << " data=" << Hex(records[i].body)
                 << "\n";
    }
    ProcessResult dump = Dump("LenfolDB");
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, expected.str());
}

// A record as Palm::PDB is asked to write it and as the sync manager reports it.
struct Made {
    uint32_t id;
    const char *flags;
    int category;
    std::string body;
    uint8_t attributes;
    int16_t reportedCategory;
};

TEST_F(PalmPdbInteropTest, TheStandInReadsWhatPalmPdbWrites) {
    const std::vector<Made> records = {
        {0x000101, "-", 0, "plain", 0x00, 0},
        {0x000202, "dirty,secret", 7, Binary(300), 0x50, 7},
        {0x000303, "deleted", 4, "gone", 0x80, 0},
        {0x000404, "deleted,archive", 0, "archived", 0x88, 0},
        {0x000505, "busy", 0, "busy", 0x20, 0},
        {0x0A0B0C, "dirty", 15, std::string(3000, 'x'), 0x40, 15},
        {0xFFFFFF, "secret", 9, "top id", 0x10, 9},
    };
    std::vector<std::string> command = {"/usr/bin/perl", kScripts + "/pdb_make.pl", Path("FromPerl"),
                                        "FromPerl", "LnFo", "Item", "1191936"};
    for (const Made &m : records) {
        command.push_back(std::to_string(m.id) + ":" + m.flags + ":" + std::to_string(m.category) +
                          ":" + Hex(m.body));
    }
    ProcessResult made = RunProcess(command, {});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    PdbDatabase file;
    ASSERT_EQ(PdbLoad(Path("FromPerl"), &file), 0);
    EXPECT_EQ(PdbName(file), "FromPerl");
    EXPECT_EQ(file.creator, 0x4C6E466Fu);
    EXPECT_EQ(file.type, 0x4974656Du);
    EXPECT_EQ(file.uniqueIdSeed, 1191936u);

    uint8_t db = 0;
    ASSERT_EQ(SyncOpenDB("FromPerl", 0, &db, kOpenRead | kOpenWrite | kOpenShowSecret), 0);
    uint16_t count = 0;
    ASSERT_EQ(SyncGetDBRecordCount(db, &count), 0);
    ASSERT_EQ(count, records.size());
    // Palm::PDB moves deleted records to the end, so match them up by ID.
    std::map<uint32_t, const Made *> byId;
    for (const Made &m : records) byId[m.id] = &m;
    static char buffer[65535];
    for (uint16_t i = 0; i < count; ++i) {
        SyncRecordRequest request{};
        request.dbHandle = db;
        request.recordIndex = i;
        request.bufferSize = sizeof buffer;
        request.buffer = buffer;
        ASSERT_EQ(SyncReadRecordByIndex(&request), 0);
        // Packed fields are copied out before anything takes them by reference.
        const uint32_t id = request.recordId;
        const uint8_t attributes = request.attributes;
        const int16_t category = request.category;
        auto it = byId.find(id);
        ASSERT_NE(it, byId.end()) << "unexpected id " << id;
        const Made &m = *it->second;
        SCOPED_TRACE("record " + std::to_string(m.id));
        EXPECT_EQ(attributes, m.attributes);
        EXPECT_EQ(category, m.reportedCategory);
        EXPECT_EQ(std::string(buffer, request.recordSize), m.body);
        byId.erase(it);
    }
    EXPECT_TRUE(byId.empty());

    // Changed by the stand-in, the file still reads in Palm::PDB.
    ASSERT_EQ(SyncPurgeDeletedRecs(db), 0);
    ASSERT_EQ(SyncResetSyncFlags(db), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    ProcessResult dump = Dump("FromPerl");
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_NE(dump.out.find("records 5\n"), std::string::npos) << dump.out;
    EXPECT_EQ(dump.out.find("Dirty"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("record id=16777215 flags=Secret category=9 data=" + Hex("top id")),
              std::string::npos)
        << dump.out;
}

}  // namespace
