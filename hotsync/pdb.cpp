// .pdb reader and writer, in the layout pdb.h describes.
#include "pdb.h"

#include <errno.h>
#include <string.h>
#include <time.h>

#include <utility>

#include "os.h"
#include "standin.h"

namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;

uint16_t Get16(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t Get32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void Set16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

void Set32(uint8_t *p, uint32_t v) {
    Set16(p, static_cast<uint16_t>(v >> 16));
    Set16(p + 2, static_cast<uint16_t>(v));
}

// The header's 32-bit fields that the database keeps, at their offsets.
const std::pair<size_t, uint32_t PdbDatabase::*> kHeaderWords[] = {
    {36, &PdbDatabase::creationDate}, {40, &PdbDatabase::modificationDate},
    {44, &PdbDatabase::backupDate},   {48, &PdbDatabase::modificationNumber},
    {60, &PdbDatabase::type},         {64, &PdbDatabase::creator},
    {68, &PdbDatabase::uniqueIdSeed}};

void Append(std::vector<uint8_t> *out, const std::vector<uint8_t> &bytes) {
    out->insert(out->end(), bytes.begin(), bytes.end());
}

// Header fields the parser needs beyond what lands in the database.
struct Layout {
    uint32_t appInfoOffset;
    uint32_t sortInfoOffset;
    uint32_t nextRecordList;
    uint16_t count;
};

void ParseHeader(const uint8_t *h, PdbDatabase *db, Layout *layout) {
    memcpy(db->name, h, kPdbNameSize);
    db->attributes = Get16(h + 32);
    db->version = Get16(h + 34);
    for (const auto &[offset, field] : kHeaderWords) db->*field = Get32(h + offset);
    layout->appInfoOffset = Get32(h + 52);
    layout->sortInfoOffset = Get32(h + 56);
    layout->nextRecordList = Get32(h + 72);
    layout->count = Get16(h + 76);
}

// Checks the record offsets and returns where the first body starts.
int32_t CheckOffsets(const uint8_t *data, size_t size, uint16_t count, uint64_t *firstBody) {
    uint64_t previous = kPdbHeaderSize + uint64_t{count} * kPdbEntrySize;
    for (uint16_t i = 0; i < count; ++i) {
        uint32_t offset = Get32(data + kPdbHeaderSize + size_t{i} * kPdbEntrySize);
        if (offset < previous || offset > size) return kStandinErrCorrupt;
        previous = offset;
    }
    *firstBody = count == 0 ? size : Get32(data + kPdbHeaderSize);
    return 0;
}

// Copies the appInfo and sortInfo blocks, which lie between the entry list
// and the first body.
int32_t ParseBlocks(const uint8_t *data, const Layout &layout, uint64_t entriesEnd,
                    uint64_t firstBody, PdbDatabase *db) {
    uint64_t app = layout.appInfoOffset;
    uint64_t sort = layout.sortInfoOffset;
    if (app != 0 && (app < entriesEnd || app > firstBody)) return kStandinErrCorrupt;
    if (sort != 0 && (sort < entriesEnd || sort > firstBody)) return kStandinErrCorrupt;
    if (app != 0 && sort != 0 && sort < app) return kStandinErrCorrupt;
    if (app != 0) db->appInfo.assign(data + app, data + (sort != 0 ? sort : firstBody));
    if (sort != 0) db->sortInfo.assign(data + sort, data + firstBody);
    return 0;
}

void ParseRecords(const uint8_t *data, size_t size, uint16_t count,
                  std::vector<PdbRecord> *records) {
    records->resize(count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t *entry = data + kPdbHeaderSize + size_t{i} * kPdbEntrySize;
        uint32_t begin = Get32(entry);
        uint64_t end = i + 1 < count ? Get32(entry + kPdbEntrySize) : size;
        PdbRecord &r = (*records)[i];
        r.body.assign(data + begin, data + end);
        r.attributes = entry[4];
        r.uniqueId = Get32(entry + 4) & 0xFFFFFF;
    }
}

}  // namespace

std::string PdbName(const PdbDatabase &db) {
    return std::string(db.name, strnlen(db.name, kPdbNameSize));
}

uint32_t PdbNow() { return static_cast<uint32_t>(time(nullptr) + kPdbEpochOffset); }

uint64_t PdbFileSize(const PdbDatabase &db) {
    uint64_t size = kPdbHeaderSize + uint64_t{db.records.size()} * kPdbEntrySize +
                    kPdbFillerSize + db.appInfo.size() + db.sortInfo.size();
    for (const PdbRecord &r : db.records) size += r.body.size();
    return size;
}

int32_t PdbParse(const uint8_t *data, size_t size, PdbDatabase *db) {
    if (data == nullptr && size != 0) return kStandinErrBadArgument;
    if (size < kPdbHeaderSize || size > kMaxFileSize) return kStandinErrCorrupt;
    PdbDatabase parsed;
    Layout layout;
    ParseHeader(data, &parsed, &layout);
    if (memchr(parsed.name, 0, kPdbNameSize) == nullptr) return kStandinErrCorrupt;
    if ((parsed.attributes & kPdbAttrResourceDb) != 0) return kStandinErrCorrupt;
    if (layout.nextRecordList != 0) return kStandinErrCorrupt;
    uint64_t entriesEnd = kPdbHeaderSize + uint64_t{layout.count} * kPdbEntrySize;
    if (entriesEnd > size) return kStandinErrCorrupt;
    uint64_t firstBody = 0;
    int32_t status = CheckOffsets(data, size, layout.count, &firstBody);
    if (status == 0) status = ParseBlocks(data, layout, entriesEnd, firstBody, &parsed);
    if (status != 0) return status;
    ParseRecords(data, size, layout.count, &parsed.records);
    *db = std::move(parsed);
    return 0;
}

int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out) {
    uint64_t size = PdbFileSize(db);
    if (db.records.size() > kPdbMaxRecords || size > kMaxFileSize) return kStandinErrTooMany;
    uint32_t count = static_cast<uint32_t>(db.records.size());
    uint32_t blocks = kPdbHeaderSize + count * kPdbEntrySize + kPdbFillerSize;
    uint32_t offset = blocks + static_cast<uint32_t>(db.appInfo.size() + db.sortInfo.size());
    out->assign(blocks, 0);
    uint8_t *h = out->data();
    memcpy(h, db.name, kPdbNameSize);
    Set16(h + 32, db.attributes);
    Set16(h + 34, db.version);
    for (const auto &[offset, field] : kHeaderWords) Set32(h + offset, db.*field);
    Set32(h + 52, db.appInfo.empty() ? 0 : blocks);
    Set32(h + 56, db.sortInfo.empty() ? 0 : blocks + static_cast<uint32_t>(db.appInfo.size()));
    Set16(h + 76, static_cast<uint16_t>(count));
    uint8_t *entry = h + kPdbHeaderSize;
    for (const PdbRecord &r : db.records) {
        Set32(entry, offset);
        Set32(entry + 4, static_cast<uint32_t>(r.attributes) << 24 | (r.uniqueId & 0xFFFFFF));
        offset += static_cast<uint32_t>(r.body.size());
        entry += kPdbEntrySize;
    }
    Append(out, db.appInfo);
    Append(out, db.sortInfo);
    for (const PdbRecord &r : db.records) Append(out, r.body);
    return 0;
}

int32_t PdbLoad(const std::string &path, PdbDatabase *db) {
    std::string bytes;
    if (standin::os::ReadAll(path, &bytes) != 0)
        return errno == ENOENT ? int32_t{kSyncErrDatabaseMissing} : int32_t{kStandinErrIo};
    return PdbParse(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), db);
}

int32_t PdbSave(const std::string &path, const PdbDatabase &db) {
    std::vector<uint8_t> image;
    int32_t status = PdbSerialize(db, &image);
    if (status != 0) return status;
    return standin::os::WriteAll(path, image.data(), image.size()) == 0 ? 0 : kStandinErrIo;
}
