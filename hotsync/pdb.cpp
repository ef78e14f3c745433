// .pdb reader and writer. File I/O goes through POSIX calls only: the
// conduit's tests intercept the stdio functions by name to fault the
// conduit's own file I/O, and the handheld's files must not be counted there.
#include "os.h"
#include "pdb.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "standin.h"

namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;

uint16_t Get16(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t Get32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void Put8(std::vector<uint8_t> *out, uint8_t v) { out->push_back(v); }

void Put16(std::vector<uint8_t> *out, uint16_t v) {
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v));
}

void Put24(std::vector<uint8_t> *out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v >> 16));
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v));
}

void Put32(std::vector<uint8_t> *out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v >> 16));
    Put16(out, static_cast<uint16_t>(v));
}

// Header fields the parser needs beyond what lands in PdbDatabase.
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
    db->creationDate = Get32(h + 36);
    db->modificationDate = Get32(h + 40);
    db->backupDate = Get32(h + 44);
    db->modificationNumber = Get32(h + 48);
    layout->appInfoOffset = Get32(h + 52);
    layout->sortInfoOffset = Get32(h + 56);
    db->type = Get32(h + 60);
    db->creator = Get32(h + 64);
    db->uniqueIdSeed = Get32(h + 68);
    layout->nextRecordList = Get32(h + 72);
    layout->count = Get16(h + 76);
}

// Checks the record offsets and returns where the first body starts.
int32_t CheckOffsets(const uint8_t *data, size_t size, uint16_t count, uint64_t *firstBody) {
    uint64_t entriesEnd = kPdbHeaderSize + uint64_t{count} * kPdbEntrySize;
    uint64_t previous = entriesEnd;
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
    if (app != 0) {
        uint64_t end = sort != 0 ? sort : firstBody;
        db->appInfo.assign(data + app, data + end);
    }
    if (sort != 0) db->sortInfo.assign(data + sort, data + firstBody);
    return 0;
}

void ParseRecords(const uint8_t *data, size_t size, uint16_t count, PdbDatabase *db) {
    db->records.resize(count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t *entry = data + kPdbHeaderSize + size_t{i} * kPdbEntrySize;
        uint32_t begin = Get32(entry);
        uint64_t end = i + 1 < count ? Get32(entry + kPdbEntrySize) : size;
        PdbRecord &r = db->records[i];
        r.attributes = entry[4];
        r.uniqueId = static_cast<uint32_t>(entry[5]) << 16 | static_cast<uint32_t>(entry[6]) << 8 |
                     entry[7];
        r.body.assign(data + begin, data + end);
    }
}

int32_t ReadAll(int fd, std::vector<uint8_t> *out) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return kStandinErrIo;
    if (static_cast<uint64_t>(st.st_size) > kMaxFileSize) return kStandinErrCorrupt;
    out->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out->size()) {
        ssize_t n = read(fd, out->data() + done, out->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return kStandinErrIo;
        if (n == 0) break;  // shrank while we read: parse what is there
        done += static_cast<size_t>(n);
    }
    out->resize(done);
    return 0;
}

int32_t WriteAll(int fd, const std::vector<uint8_t> &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return kStandinErrIo;
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

std::string PdbName(const PdbDatabase &db) {
    return std::string(db.name, strnlen(db.name, kPdbNameSize));
}

uint32_t PdbNow() { return static_cast<uint32_t>(time(nullptr) + kPdbEpochOffset); }

uint64_t PdbFileSize(const PdbDatabase &db) {
    uint64_t size = kPdbHeaderSize + uint64_t{db.records.size()} * kPdbEntrySize + kPdbFillerSize;
    size += db.appInfo.size() + db.sortInfo.size();
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
    if (status != 0) return status;
    status = ParseBlocks(data, layout, entriesEnd, firstBody, &parsed);
    if (status != 0) return status;
    ParseRecords(data, size, layout.count, &parsed);
    *db = std::move(parsed);
    return 0;
}

int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out) {
    if (db.records.size() > kPdbMaxRecords) return kStandinErrTooMany;
    if (PdbFileSize(db) > kMaxFileSize) return kStandinErrTooMany;
    uint32_t count = static_cast<uint32_t>(db.records.size());
    uint32_t blocks = kPdbHeaderSize + count * kPdbEntrySize + kPdbFillerSize;
    uint32_t app = db.appInfo.empty() ? 0 : blocks;
    uint32_t sort = db.sortInfo.empty() ? 0 : blocks + static_cast<uint32_t>(db.appInfo.size());
    out->clear();
    out->reserve(static_cast<size_t>(PdbFileSize(db)));
    out->insert(out->end(), db.name, db.name + kPdbNameSize);
    Put16(out, db.attributes);
    Put16(out, db.version);
    Put32(out, db.creationDate);
    Put32(out, db.modificationDate);
    Put32(out, db.backupDate);
    Put32(out, db.modificationNumber);
    Put32(out, app);
    Put32(out, sort);
    Put32(out, db.type);
    Put32(out, db.creator);
    Put32(out, db.uniqueIdSeed);
    Put32(out, 0);
    Put16(out, static_cast<uint16_t>(count));
    uint32_t offset = blocks + static_cast<uint32_t>(db.appInfo.size() + db.sortInfo.size());
    for (const PdbRecord &r : db.records) {
        Put32(out, offset);
        Put8(out, r.attributes);
        Put24(out, r.uniqueId);
        offset += static_cast<uint32_t>(r.body.size());
    }
    Put16(out, 0);
    out->insert(out->end(), db.appInfo.begin(), db.appInfo.end());
    out->insert(out->end(), db.sortInfo.begin(), db.sortInfo.end());
    for (const PdbRecord &r : db.records) out->insert(out->end(), r.body.begin(), r.body.end());
    return 0;
}

int32_t PdbLoad(const std::string &path, PdbDatabase *db) {
    int fd = standin::os::OpenFile(path, O_RDONLY);
    if (fd < 0) return errno == ENOENT ? int32_t{kSyncErrDatabaseMissing} : int32_t{kStandinErrIo};
    std::vector<uint8_t> bytes;
    int32_t status = ReadAll(fd, &bytes);
    close(fd);
    if (status != 0) return status;
    return PdbParse(bytes.data(), bytes.size(), db);
}

int32_t PdbSave(const std::string &path, const PdbDatabase &db) {
    std::vector<uint8_t> bytes;
    int32_t status = PdbSerialize(db, &bytes);
    if (status != 0) return status;
    std::string temp = path + ".tmpXXXXXX";
    int fd = standin::os::CreateTemporaryFile(&temp);
    if (fd < 0) return kStandinErrIo;
    status = WriteAll(fd, bytes);
    if (close(fd) != 0 && status == 0) status = kStandinErrIo;
    if (status == 0 && standin::os::RenameReplacing(temp, path) != 0) status = kStandinErrIo;
    if (status != 0) standin::os::RemoveFile(temp);
    return status;
}
