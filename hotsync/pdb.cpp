// .pdb reader and writer, in the layout pdb.h describes.
#include "pdb.h"

#include <string.h>
#include <time.h>

#include <algorithm>
#include <utility>

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
        held.push_back({r.attributes, r.uniqueId, r.body.data(), 0, r.body.size(), {}});
    return held;
}

// The file up to the first body: header, entry list, filler, appInfo and
// sortInfo. kStandinErrTooMany when the whole would not fit the format.
int32_t Head(const PdbDatabase &db, const std::vector<PdbHeldRecord> &records,
             std::vector<uint8_t> *out) {
    if (records.size() > kPdbMaxRecords || PdbFileSize(db, records) > kMaxFileSize)
        return kStandinErrTooMany;
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

// data[0..size) is the file, of fileSize bytes, up to its first body at least
// (all of it when there is no body).
int32_t ParseHead(const uint8_t *data, size_t size, uint64_t fileSize, PdbDatabase *db,
                  std::vector<PdbHeldRecord> *records) {
    if (size < kPdbHeaderSize || fileSize > kMaxFileSize) return kStandinErrCorrupt;
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
    uint64_t end = fileSize;
    for (uint16_t i = count; i-- > 0;) {
        const uint8_t *entry = data + kPdbHeaderSize + size_t{i} * kPdbEntrySize;
        const uint32_t offset = Get32(entry);
        if (offset < entriesEnd || offset > end) return kStandinErrCorrupt;
        PdbHeldRecord &r = held[i];
        r.offset = offset;
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

// Reads on to `end`, or to the end of the file if that comes first.
int32_t ReadTo(standin::os::Source *source, uint64_t end, std::vector<uint8_t> *head) {
    const size_t from = head->size();
    if (end <= from) return 0;
    head->resize(static_cast<size_t>(std::min(end, source->Size())));
    return source->Read(from, head->data() + from, head->size() - from);
}

}  // namespace

std::string PdbName(const PdbDatabase &db) {
    return std::string(db.name, strnlen(db.name, kPdbNameSize));
}

uint32_t PdbNow() { return static_cast<uint32_t>(time(nullptr) + kPdbEpochOffset); }

uint64_t PdbFileSize(const PdbDatabase &db, const std::vector<PdbHeldRecord> &records) {
    uint64_t size = kPdbHeaderSize + uint64_t{records.size()} * kPdbEntrySize + kPdbFillerSize +
                    db.appInfo.size() + db.sortInfo.size();
    for (const PdbHeldRecord &r : records) size += r.size;
    return size;
}

uint64_t PdbFileSize(const PdbDatabase &db) { return PdbFileSize(db, Held(db)); }

int32_t PdbParse(const uint8_t *data, size_t size, PdbDatabase *db) {
    if (data == nullptr && size != 0) return kStandinErrBadArgument;
    std::vector<PdbHeldRecord> held;
    int32_t status = ParseHead(data, size, size, db, &held);
    db->records.reserve(held.size());
    for (const PdbHeldRecord &r : held) {
        const uint8_t *body = data + r.offset;
        db->records.push_back(PdbRecord{r.attributes, r.uniqueId, {body, body + r.size}});
    }
    return status;
}

// The head runs to the first body: the header tells how many entries follow
// it, and the first entry where that body starts (with no records, the
// blocks run to the end of the file).
int32_t PdbOpen(const std::string &path, standin::os::Source *source, PdbDatabase *db,
                std::vector<PdbHeldRecord> *records) {
    int32_t status = source->Open(path);
    if (status != 0) return status == kStandinErrNotFound ? kSyncErrDatabaseMissing : status;
    std::vector<uint8_t> head;
    status = ReadTo(source, kPdbHeaderSize, &head);
    const uint16_t count = head.size() == kPdbHeaderSize ? Get16(&head[76]) : 0;
    const size_t entriesEnd = kPdbHeaderSize + size_t{count} * kPdbEntrySize;
    if (status == 0) status = ReadTo(source, entriesEnd, &head);
    if (status == 0 && head.size() == entriesEnd)
        status = ReadTo(source, count != 0 ? Get32(&head[kPdbHeaderSize]) : source->Size(), &head);
    return status != 0 ? status : ParseHead(head.data(), head.size(), source->Size(), db, records);
}

int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out) {
    int32_t status = Head(db, Held(db), out);
    if (status != 0) return status;
    for (const PdbRecord &r : db.records) out->insert(out->end(), r.body.begin(), r.body.end());
    return 0;
}

int32_t PdbLoad(const std::string &path, PdbDatabase *db) {
    std::string bytes;
    int32_t status = standin::os::ReadAll(path, &bytes);
    if (status != 0) return status == kStandinErrNotFound ? kSyncErrDatabaseMissing : status;
    return PdbParse(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), db);
}

int32_t PdbSave(const std::string &path, const PdbDatabase &db) {
    return PdbSaveHeld(path, db, Held(db), nullptr);
}

int32_t PdbSaveHeld(const std::string &path, const PdbDatabase &db,
                    const std::vector<PdbHeldRecord> &records, standin::os::Source *source) {
    std::vector<uint8_t> head;
    int32_t status = Head(db, records, &head);
    if (status != 0) return status;
    standin::os::Replacement file(path);
    file.Write(head.data(), head.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const PdbHeldRecord &r = records[i];
        size_t size = r.size;
        // Bodies that lie one after the other in the file go out in one copy.
        while (r.body == nullptr && i + 1 < records.size() && records[i + 1].body == nullptr &&
               records[i + 1].offset == r.offset + size)
            size += records[++i].size;
        if (r.body != nullptr) file.Write(r.body, size);
        else file.Copy(source, r.offset, size);
    }
    if (source != nullptr) source->Close();
    return file.Commit();
}
