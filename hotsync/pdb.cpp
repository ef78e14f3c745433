// .pdb reader and writer, in the layout pdb.h describes.
#include "pdb.h"

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

// Big-endian, as the handheld keeps its numbers.
void SetBytes(uint8_t *p, size_t count, uint32_t v) {
    for (size_t i = count; i-- > 0; v >>= 8) p[i] = static_cast<uint8_t>(v);
}
void Set16(uint8_t *p, uint16_t v) { SetBytes(p, 2, v); }
void Set32(uint8_t *p, uint32_t v) { SetBytes(p, 4, v); }

// The header's 32-bit fields that the database keeps, at their offsets.
const std::pair<size_t, uint32_t PdbDatabase::*> kHeaderWords[] = {
    {36, &PdbDatabase::creationDate}, {40, &PdbDatabase::modificationDate},
    {44, &PdbDatabase::backupDate},   {48, &PdbDatabase::modificationNumber},
    {60, &PdbDatabase::type},         {64, &PdbDatabase::creator},
    {68, &PdbDatabase::uniqueIdSeed}};

// db's records as held ones, their bodies where db keeps them.
std::vector<PdbHeldRecord> Held(const PdbDatabase &db) {
    std::vector<PdbHeldRecord> held;
    for (const PdbRecord &r : db.records)
        held.push_back({r.attributes, r.uniqueId, r.body.data(), r.body.size(), {}});
    return held;
}

// The file up to the first body: header, entry list, filler, appInfo and
// sortInfo. kStandinErrTooMany when the whole would not fit the format.
int32_t Head(const PdbDatabase &db, const std::vector<PdbHeldRecord> &records,
             std::vector<uint8_t> *out) {
    uint64_t size = kPdbHeaderSize + uint64_t{records.size()} * kPdbEntrySize + kPdbFillerSize +
                    db.appInfo.size() + db.sortInfo.size();
    for (const PdbHeldRecord &r : records) size += r.size;
    if (records.size() > kPdbMaxRecords || size > kMaxFileSize) return kStandinErrTooMany;
    uint32_t count = static_cast<uint32_t>(records.size());
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
    for (const PdbHeldRecord &r : records) {
        Set32(entry, offset);
        Set32(entry + 4, static_cast<uint32_t>(r.attributes) << 24 | (r.uniqueId & 0xFFFFFF));
        offset += static_cast<uint32_t>(r.size);
        entry += kPdbEntrySize;
    }
    out->insert(out->end(), db.appInfo.begin(), db.appInfo.end());
    out->insert(out->end(), db.sortInfo.begin(), db.sortInfo.end());
    return 0;
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

int32_t PdbParseHeld(const uint8_t *data, size_t size, PdbDatabase *db,
                     std::vector<PdbHeldRecord> *records) {
    if (data == nullptr && size != 0) return kStandinErrBadArgument;
    if (size < kPdbHeaderSize || size > kMaxFileSize) return kStandinErrCorrupt;
    PdbDatabase parsed;
    memcpy(parsed.name, data, kPdbNameSize);
    parsed.attributes = Get16(data + 32);
    parsed.version = Get16(data + 34);
    for (const auto &[offset, field] : kHeaderWords) parsed.*field = Get32(data + offset);
    const uint16_t count = Get16(data + 76);
    const uint64_t entriesEnd = kPdbHeaderSize + uint64_t{count} * kPdbEntrySize;
    // A resource database, or a second record list, is not what this reader knows.
    if (memchr(parsed.name, 0, kPdbNameSize) == nullptr || entriesEnd > size ||
        (parsed.attributes & kPdbAttrResourceDb) != 0 || Get32(data + 72) != 0)
        return kStandinErrCorrupt;
    // Each body runs from its offset to the next one, the last to the end of the
    // file: read from the last, each offset at most the one after it.
    std::vector<PdbHeldRecord> held(count);
    uint64_t end = size;
    for (uint16_t i = count; i-- > 0;) {
        const uint8_t *entry = data + kPdbHeaderSize + size_t{i} * kPdbEntrySize;
        const uint32_t offset = Get32(entry);
        if (offset < entriesEnd || offset > end) return kStandinErrCorrupt;
        PdbHeldRecord &r = held[i];
        r.body = data + offset;
        r.size = static_cast<size_t>(end - offset);
        r.attributes = entry[4];
        r.uniqueId = Get32(entry + 4) & 0xFFFFFF;
        end = offset;
    }
    // The appInfo and sortInfo blocks lie between the entry list and the first
    // body, which is where `end` has come to.
    const uint64_t app = Get32(data + 52), sort = Get32(data + 56);
    if (app != 0 && (app < entriesEnd || app > end)) return kStandinErrCorrupt;
    if (sort != 0 && (sort < entriesEnd || sort > end)) return kStandinErrCorrupt;
    if (app != 0 && sort != 0 && sort < app) return kStandinErrCorrupt;
    if (app != 0) parsed.appInfo.assign(data + app, data + (sort != 0 ? sort : end));
    if (sort != 0) parsed.sortInfo.assign(data + sort, data + end);
    *db = std::move(parsed);
    *records = std::move(held);
    return 0;
}

int32_t PdbParse(const uint8_t *data, size_t size, PdbDatabase *db) {
    std::vector<PdbHeldRecord> held;
    int32_t status = PdbParseHeld(data, size, db, &held);
    db->records.reserve(held.size());
    for (const PdbHeldRecord &r : held)
        db->records.push_back(PdbRecord{r.attributes, r.uniqueId, {r.body, r.body + r.size}});
    return status;
}

int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out) {
    int32_t status = Head(db, Held(db), out);
    if (status != 0) return status;
    for (const PdbRecord &r : db.records) out->insert(out->end(), r.body.begin(), r.body.end());
    return 0;
}

int32_t PdbLoad(const std::string &path, PdbDatabase *db) {
    standin::os::FileBytes bytes;
    int32_t status = standin::os::ReadAll(path, &bytes);
    if (status != 0) return status == kStandinErrNotFound ? kSyncErrDatabaseMissing : status;
    return PdbParse(bytes.data.get(), bytes.size, db);
}

int32_t PdbSave(const std::string &path, const PdbDatabase &db) {
    return PdbSaveHeld(path, db, Held(db));
}

// Bodies that lie one after the other in memory, as those of a database
// read and not rewritten do, go out in one write.
int32_t PdbSaveHeld(const std::string &path, const PdbDatabase &db,
                    const std::vector<PdbHeldRecord> &records) {
    std::vector<uint8_t> head;
    int32_t status = Head(db, records, &head);
    if (status != 0) return status;
    standin::os::Replacement file(path);
    file.Write(head.data(), head.size());
    const uint8_t *run = nullptr;
    size_t runSize = 0;
    for (const PdbHeldRecord &r : records) {
        if (run + runSize != r.body) {
            file.Write(run, runSize);
            run = r.body;
            runSize = 0;
        }
        runSize += r.size;
    }
    file.Write(run, runSize);
    return file.Commit();
}
