/*
 * Palm record database (.pdb) files: the stand-in handheld keeps one per
 * database. Plain records in, plain records out; every function returns a
 * stand-in status (0, kSyncErrDatabaseMissing, kStandinErrCorrupt,
 * kStandinErrIo, kStandinErrTooMany).
 *
 * File layout, all numbers big-endian:
 *   78-byte header: name[32], attributes u16, version u16, creation,
 *     modification and backup dates u32 (seconds since 1904-01-01),
 *     modification number u32, appInfo offset u32, sortInfo offset u32,
 *     type u32, creator u32, unique-ID seed u32, next record list u32,
 *     record count u16;
 *   one 8-byte entry per record: body offset u32, attribute byte, unique ID
 *     in 3 bytes;
 *   2 zero filler bytes, the appInfo block, the sortInfo block, the bodies.
 *   A body runs up to the next record's offset, the last one to end of file.
 *
 * What the reader accepts (anything else is kStandinErrCorrupt):
 *   - at least the 78 header bytes and the whole entry list; a file no larger
 *     than 4 GiB - 1, since no offset could reach past that;
 *   - a name NUL-terminated within its 32 bytes (it may be empty);
 *   - a record database: attribute bit 0x0001 (resource database) is refused,
 *     and so is a non-zero next-record-list field (chained entry lists);
 *   - record offsets not before the end of the entry list, never decreasing,
 *     and within the file; equal offsets give an empty body;
 *   - an appInfo/sortInfo offset of 0 (absent) or one that lies after the
 *     entry list and before the first body, sortInfo not before appInfo.
 *     AppInfo runs to sortInfo (or the first body), sortInfo to the first body.
 *   Bytes between the entry list and the first block (the filler) are
 *   dropped; unique IDs are taken as they are, duplicates included.
 */
#ifndef LENSFOLIO_HOTSYNC_PDB_H
#define LENSFOLIO_HOTSYNC_PDB_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

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

/* Everything of a database but its records. */
struct PdbHeader {
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
};

struct PdbDatabase : PdbHeader {
    std::vector<PdbRecord> records;
};

/* The name up to its NUL (at most 32 bytes). */
std::string PdbName(const PdbHeader &db);
/* Current time in Palm seconds. */
uint32_t PdbNow();

/* Bytes the file of `db` takes. */
uint64_t PdbFileSize(const PdbDatabase &db);
/* Bytes before the first body: header, entry list, filler, appInfo, sortInfo. */
uint64_t PdbHeadSize(const PdbHeader &header, size_t recordCount);

/* Replaces *db with the database in data[0..size). */
int32_t PdbParse(const uint8_t *data, size_t size, PdbDatabase *db);
/* kStandinErrTooMany when there are more than 65,535 records or the file
 * would outgrow 32-bit offsets. */
int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out);

/* kSyncErrDatabaseMissing when there is no such file, kStandinErrIo when it
 * cannot be read, kStandinErrCorrupt when it does not parse. */
int32_t PdbLoad(const std::string &path, PdbDatabase *db);
/* Writes a temporary file beside `path` and renames it over `path`, so the
 * old file stays whole when any step fails (kStandinErrIo). */
int32_t PdbSave(const std::string &path, const PdbDatabase &db);

/* ---- Databases held without a vector per record ----------------------------
 * The sync manager keeps a whole database open for a HotSync of up to 65,535
 * records. A PdbDatabase would cost an allocation and a copy per body, and a
 * fresh page for every 4 KiB of them; instead the file is read into one block
 * and each record is a view of its body there. Bodies written later are
 * copied into further blocks of the same store. */

struct PdbRecordView {
    const uint8_t *body;  /* may be null when size is 0 */
    uint32_t size;
    uint32_t uniqueId;    /* 24 bits */
    uint8_t attributes;
};

struct PdbBlockRelease {
    size_t capacity;
    void operator()(uint8_t *bytes) const;
};
typedef std::unique_ptr<uint8_t[], PdbBlockRelease> PdbBlock;

struct PdbStoreBlock {
    PdbBlock bytes;
    size_t used = 0;
};

/* Blocks never move, so a view stays valid until the store is reset or
 * compacted. */
struct PdbStore {
    std::vector<PdbStoreBlock> blocks;
    size_t current = 0; /* the block new bodies go into */
};

/* Like PdbParse, but leaves the records as views into data[0..size) and
 * *header, *records untouched on failure. */
int32_t PdbParseViews(const uint8_t *data, size_t size, PdbHeader *header,
                      std::vector<PdbRecordView> *records);
/* Like PdbLoad: reads the file into one block of a fresh *store and parses
 * it there. *header, *records and *store are replaced only on success. */
int32_t PdbLoadViews(const std::string &path, PdbHeader *header,
                     std::vector<PdbRecordView> *records, PdbStore *store);
/* Like PdbSave, the records given as views. Bodies that follow each other in
 * memory go out in one write. */
int32_t PdbSaveViews(const std::string &path, const PdbHeader &header,
                     const PdbRecordView *records, size_t count);

/* Copies body[0..size) into the store; null when no memory is left (or when
 * size is 0, which needs none). */
const uint8_t *PdbStoreBody(PdbStore *store, const void *body, uint32_t size);
/* Forgets every body but keeps the blocks for the next ones. */
void PdbStoreReset(PdbStore *store);
/* Bytes the store holds, bodies no longer referenced included. */
uint64_t PdbStoreHeld(const PdbStore &store);
/* Moves the bodies of records[0..count) into one fresh block and drops the
 * rest; the store is left as it was when there is no memory for that
 * (kStandinErrTooMany). */
int32_t PdbStoreCompact(PdbStore *store, PdbRecordView *records, size_t count);

#endif /* LENSFOLIO_HOTSYNC_PDB_H */
