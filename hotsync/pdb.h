/*
 * Palm record database (.pdb) files, one per database of the stand-in
 * handheld: plain records in and out. The layout, and what the reader
 * accepts, are in README.md (".pdb files").
 */
#ifndef LENSFOLIO_HOTSYNC_PDB_H
#define LENSFOLIO_HOTSYNC_PDB_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "os.h"

enum {
    kPdbHeaderSize = 78,
    kPdbEntrySize = 8,
    kPdbFillerSize = 2,
    kPdbNameSize = 32,
    kPdbMaxRecords = 65535
};

/* Database attribute the stand-in cannot hold: resource (.prc) layout. */
enum { kPdbAttrResourceDb = 0x0001 };

/* Record attribute byte: high nibble flags; low nibble the category, or for a
 * deleted record the archive bit. */
enum {
    kPdbRecDeleted = 0x80,
    kPdbRecDirty = 0x40,
    kPdbRecBusy = 0x20,
    kPdbRecSecret = 0x10,
    kPdbRecArchive = 0x08,
    kPdbRecFlagMask = 0xF0,
    kPdbRecCategoryMask = 0x0F
};

/* Seconds from 1904-01-01 (the Palm epoch) to 1970-01-01. */
constexpr uint32_t kPdbEpochOffset = 2082844800u;

struct PdbRecord {
    uint8_t attributes = 0;
    uint32_t uniqueId = 0; /* 24 bits */
    std::vector<uint8_t> body;
};

struct PdbDatabase {
    char name[kPdbNameSize] = {};
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint32_t creationDate = 0;
    uint32_t modificationDate = 0;
    uint32_t backupDate = 0;
    uint32_t modificationNumber = 0;
    uint32_t type = 0;
    uint32_t creator = 0;
    uint32_t uniqueIdSeed = 0;
    std::vector<uint8_t> appInfo;
    std::vector<uint8_t> sortInfo;
    std::vector<PdbRecord> records;
};

/* A record as the sync manager holds it: its body in memory at `body`, or
 * while that is null at `offset` in the file the database was read from. */
struct PdbHeldRecord {
    uint8_t attributes = 0;
    uint32_t uniqueId = 0; /* 24 bits */
    const uint8_t *body = nullptr;
    uint32_t offset = 0;
    size_t size = 0;
    std::vector<uint8_t> written;
};

std::string PdbName(const PdbDatabase &db); /* up to its NUL */
uint32_t PdbNow();                          /* in Palm seconds */
uint64_t PdbFileSize(const PdbDatabase &db);
/* The same with `records` in place of db.records. */
uint64_t PdbFileSize(const PdbDatabase &db, const std::vector<PdbHeldRecord> &records);

/* Replaces *db with the database in data[0..size); leaves it alone on failure. */
int32_t PdbParse(const uint8_t *data, size_t size, PdbDatabase *db);
/* The database in the file `source` with its bodies left there: db->records
 * stays empty and *records gets one record a body. The same statuses as
 * PdbLoad. */
int32_t PdbOpen(const std::string &path, standin::os::Source *source, PdbDatabase *db,
                std::vector<PdbHeldRecord> *records);
/* kStandinErrTooMany when there are more than 65,535 records or the file
 * would outgrow 32-bit offsets. */
int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out);

/* kSyncErrDatabaseMissing when there is no such file, kStandinErrIo when it
 * cannot be read, kStandinErrCorrupt when it does not parse; *db is replaced
 * only on success. */
int32_t PdbLoad(const std::string &path, PdbDatabase *db);
/* Through a temporary file, so the old file stays whole when any step fails
 * (kStandinErrIo). */
int32_t PdbSave(const std::string &path, const PdbDatabase &db);
/* The same with `records` in place of db.records, the bodies in `source`
 * copied from there; `source` is closed before the new file takes its place,
 * since Windows will not replace an open file. */
int32_t PdbSaveHeld(const std::string &path, const PdbDatabase &db,
                    const std::vector<PdbHeldRecord> &records, standin::os::Source *source);

#endif /* LENSFOLIO_HOTSYNC_PDB_H */
