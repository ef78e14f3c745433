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

#include <algorithm>

#include "standin.h"

namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;
// Writes go out in pieces of this size; a run of bodies at least this long
// goes out directly from where it lies.
constexpr size_t kWriteBufferSize = 64 * 1024;
// New store blocks grow with the store, within these bounds.
constexpr size_t kMinStoreBlock = 64 * 1024;
constexpr size_t kMaxStoreBlock = 64u << 20;

uint16_t Get16(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t Get32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint8_t *Put16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
    return p + 2;
}

uint8_t *Put32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
    return p + 4;
}

// Header fields the parser needs beyond what lands in PdbHeader.
struct Layout {
    uint32_t appInfoOffset;
    uint32_t sortInfoOffset;
    uint32_t nextRecordList;
    uint16_t count;
};

void ParseHeader(const uint8_t *h, PdbHeader *db, Layout *layout) {
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
                    uint64_t firstBody, PdbHeader *db) {
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

void ParseRecords(const uint8_t *data, size_t size, uint16_t count,
                  std::vector<PdbRecordView> *records) {
    records->resize(count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t *entry = data + kPdbHeaderSize + size_t{i} * kPdbEntrySize;
        uint32_t begin = Get32(entry);
        uint64_t end = i + 1 < count ? Get32(entry + kPdbEntrySize) : size;
        PdbRecordView &r = (*records)[i];
        r.body = data + begin;
        r.size = static_cast<uint32_t>(end - begin);
        r.attributes = entry[4];
        r.uniqueId = static_cast<uint32_t>(entry[5]) << 16 | static_cast<uint32_t>(entry[6]) << 8 |
                     entry[7];
    }
}

PdbBlock AllocateBlock(size_t capacity) {
    uint8_t *bytes = static_cast<uint8_t *>(standin::os::AllocateBlock(capacity));
    return PdbBlock(bytes, PdbBlockRelease{capacity});
}

size_t Capacity(const PdbStoreBlock &block) { return block.bytes.get_deleter().capacity; }

// Reads the whole file into one block; *used is what was there to read.
int32_t ReadAll(int fd, PdbBlock *out, size_t *used) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return kStandinErrIo;
    if (static_cast<uint64_t>(st.st_size) > kMaxFileSize) return kStandinErrCorrupt;
    size_t size = static_cast<size_t>(st.st_size);
    PdbBlock block = AllocateBlock(size);
    if (!block) return kStandinErrIo;
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, block.get() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return kStandinErrIo;
        if (n == 0) break;  // shrank while we read: parse what is there
        done += static_cast<size_t>(n);
    }
    *out = std::move(block);
    *used = done;
    return 0;
}

int32_t WriteAll(int fd, const uint8_t *bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return kStandinErrIo;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Bytes on their way out, to a file or (fd < 0) appended to `bytes`. Small
// pieces gather in `buffer`; the first failure sticks in `status`.
struct Output {
    int fd = -1;
    std::vector<uint8_t> *bytes = nullptr;
    std::vector<uint8_t> buffer;
    int32_t status = 0;
};

void Flush(Output *out) {
    if (out->status == 0 && !out->buffer.empty())
        out->status = WriteAll(out->fd, out->buffer.data(), out->buffer.size());
    out->buffer.clear();
}

void Emit(Output *out, const uint8_t *data, size_t size) {
    if (size == 0 || out->status != 0) return;
    if (out->fd < 0) {
        out->bytes->insert(out->bytes->end(), data, data + size);
        return;
    }
    if (out->buffer.size() + size > kWriteBufferSize) Flush(out);
    if (size >= kWriteBufferSize) {
        if (out->status == 0) out->status = WriteAll(out->fd, data, size);
        return;
    }
    out->buffer.insert(out->buffer.end(), data, data + size);
}

uint64_t BodyBytes(const PdbRecordView *records, size_t count) {
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) total += records[i].size;
    return total;
}

int32_t CheckWritable(const PdbHeader &header, const PdbRecordView *records, size_t count) {
    if (count > kPdbMaxRecords) return kStandinErrTooMany;
    if (PdbHeadSize(header, count) + BodyBytes(records, count) > kMaxFileSize)
        return kStandinErrTooMany;
    return 0;
}

void EmitHeader(Output *out, const PdbHeader &db, uint32_t count) {
    uint32_t blocks = kPdbHeaderSize + count * kPdbEntrySize + kPdbFillerSize;
    uint32_t app = db.appInfo.empty() ? 0 : blocks;
    uint32_t sort = db.sortInfo.empty() ? 0 : blocks + static_cast<uint32_t>(db.appInfo.size());
    uint8_t header[kPdbHeaderSize];
    memcpy(header, db.name, kPdbNameSize);
    uint8_t *p = Put16(header + kPdbNameSize, db.attributes);
    p = Put16(p, db.version);
    p = Put32(p, db.creationDate);
    p = Put32(p, db.modificationDate);
    p = Put32(p, db.backupDate);
    p = Put32(p, db.modificationNumber);
    p = Put32(p, app);
    p = Put32(p, sort);
    p = Put32(p, db.type);
    p = Put32(p, db.creator);
    p = Put32(p, db.uniqueIdSeed);
    p = Put32(p, 0);
    Put16(p, static_cast<uint16_t>(count));
    Emit(out, header, sizeof header);
}

// The entries go out a batch at a time rather than eight bytes per call.
void EmitEntries(Output *out, const PdbRecordView *records, size_t count, uint32_t offset) {
    uint8_t batch[512 * kPdbEntrySize];
    size_t filled = 0;
    for (size_t i = 0; i < count; ++i) {
        uint8_t *p = Put32(batch + filled, offset);
        p[0] = records[i].attributes;
        p[1] = static_cast<uint8_t>(records[i].uniqueId >> 16);
        p[2] = static_cast<uint8_t>(records[i].uniqueId >> 8);
        p[3] = static_cast<uint8_t>(records[i].uniqueId);
        filled += kPdbEntrySize;
        offset += records[i].size;
        if (filled == sizeof batch) {
            Emit(out, batch, filled);
            filled = 0;
        }
    }
    Emit(out, batch, filled);
}

// Bodies that lie one after the other in memory (as they do when read from
// one file or written into one store block) go out as one run.
void EmitBodies(Output *out, const PdbRecordView *records, size_t count) {
    const uint8_t *run = nullptr;
    size_t runSize = 0;
    for (size_t i = 0; i < count; ++i) {
        const PdbRecordView &r = records[i];
        if (r.size == 0) continue;
        if (run != nullptr && run + runSize == r.body) {
            runSize += r.size;
            continue;
        }
        Emit(out, run, runSize);
        run = r.body;
        runSize = r.size;
    }
    Emit(out, run, runSize);
}

// The file image, in the layout pdb.h describes. Offsets fit: CheckWritable
// came first.
void EmitDatabase(Output *out, const PdbHeader &header, const PdbRecordView *records,
                  size_t count) {
    uint32_t n = static_cast<uint32_t>(count);
    EmitHeader(out, header, n);
    EmitEntries(out, records, count, static_cast<uint32_t>(PdbHeadSize(header, count)));
    const uint8_t filler[kPdbFillerSize] = {};
    Emit(out, filler, sizeof filler);
    Emit(out, header.appInfo.data(), header.appInfo.size());
    Emit(out, header.sortInfo.data(), header.sortInfo.size());
    EmitBodies(out, records, count);
}

std::vector<PdbRecordView> ViewsOf(const PdbDatabase &db) {
    std::vector<PdbRecordView> views(db.records.size());
    for (size_t i = 0; i < views.size(); ++i) {
        const PdbRecord &r = db.records[i];
        views[i] = PdbRecordView{r.body.data(), static_cast<uint32_t>(r.body.size()), r.uniqueId,
                                 r.attributes};
    }
    return views;
}

}  // namespace

void PdbBlockRelease::operator()(uint8_t *bytes) const { standin::os::FreeBlock(bytes, capacity); }

std::string PdbName(const PdbHeader &db) {
    return std::string(db.name, strnlen(db.name, kPdbNameSize));
}

uint32_t PdbNow() { return static_cast<uint32_t>(time(nullptr) + kPdbEpochOffset); }

uint64_t PdbHeadSize(const PdbHeader &header, size_t recordCount) {
    return kPdbHeaderSize + uint64_t{recordCount} * kPdbEntrySize + kPdbFillerSize +
           header.appInfo.size() + header.sortInfo.size();
}

uint64_t PdbFileSize(const PdbDatabase &db) {
    uint64_t size = PdbHeadSize(db, db.records.size());
    for (const PdbRecord &r : db.records) size += r.body.size();
    return size;
}

int32_t PdbParseViews(const uint8_t *data, size_t size, PdbHeader *header,
                      std::vector<PdbRecordView> *records) {
    if (data == nullptr && size != 0) return kStandinErrBadArgument;
    if (size < kPdbHeaderSize || size > kMaxFileSize) return kStandinErrCorrupt;
    PdbHeader parsed;
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
    ParseRecords(data, size, layout.count, records);
    *header = std::move(parsed);
    return 0;
}

int32_t PdbParse(const uint8_t *data, size_t size, PdbDatabase *db) {
    PdbHeader header;
    std::vector<PdbRecordView> views;
    int32_t status = PdbParseViews(data, size, &header, &views);
    if (status != 0) return status;
    std::vector<PdbRecord> records(views.size());
    for (size_t i = 0; i < views.size(); ++i) {
        const PdbRecordView &v = views[i];
        records[i].attributes = v.attributes;
        records[i].uniqueId = v.uniqueId;
        records[i].body.assign(v.body, v.body + v.size);
    }
    static_cast<PdbHeader &>(*db) = std::move(header);
    db->records = std::move(records);
    return 0;
}

int32_t PdbSerialize(const PdbDatabase &db, std::vector<uint8_t> *out) {
    std::vector<PdbRecordView> views = ViewsOf(db);
    int32_t status = CheckWritable(db, views.data(), views.size());
    if (status != 0) return status;
    out->clear();
    out->reserve(static_cast<size_t>(PdbFileSize(db)));
    Output output;
    output.bytes = out;
    EmitDatabase(&output, db, views.data(), views.size());
    return 0;
}

namespace {

int32_t ReadFile(const std::string &path, PdbStoreBlock *block) {
    int fd = standin::os::OpenFile(path, O_RDONLY);
    if (fd < 0) return errno == ENOENT ? int32_t{kSyncErrDatabaseMissing} : int32_t{kStandinErrIo};
    int32_t status = ReadAll(fd, &block->bytes, &block->used);
    close(fd);
    return status;
}

}  // namespace

int32_t PdbLoadViews(const std::string &path, PdbHeader *header,
                     std::vector<PdbRecordView> *records, PdbStore *store) {
    PdbStoreBlock block;
    int32_t status = ReadFile(path, &block);
    if (status != 0) return status;
    std::vector<PdbRecordView> views;
    status = PdbParseViews(block.bytes.get(), block.used, header, &views);
    if (status != 0) return status;
    *records = std::move(views);
    store->blocks.clear();
    store->blocks.push_back(std::move(block));
    store->current = 0;
    return 0;
}

int32_t PdbLoad(const std::string &path, PdbDatabase *db) {
    PdbStoreBlock block;
    int32_t status = ReadFile(path, &block);
    if (status != 0) return status;
    return PdbParse(block.bytes.get(), block.used, db);
}

int32_t PdbSaveViews(const std::string &path, const PdbHeader &header,
                     const PdbRecordView *records, size_t count) {
    int32_t status = CheckWritable(header, records, count);
    if (status != 0) return status;
    std::string temp = path + ".tmpXXXXXX";
    Output out;
    out.fd = standin::os::CreateTemporaryFile(&temp);
    if (out.fd < 0) return kStandinErrIo;
    out.buffer.reserve(kWriteBufferSize);
    EmitDatabase(&out, header, records, count);
    Flush(&out);
    status = out.status;
    if (close(out.fd) != 0 && status == 0) status = kStandinErrIo;
    if (status == 0 && standin::os::RenameReplacing(temp, path) != 0) status = kStandinErrIo;
    if (status != 0) standin::os::RemoveFile(temp);
    return status;
}

int32_t PdbSave(const std::string &path, const PdbDatabase &db) {
    std::vector<PdbRecordView> views = ViewsOf(db);
    return PdbSaveViews(path, db, views.data(), views.size());
}

const uint8_t *PdbStoreBody(PdbStore *store, const void *body, uint32_t size) {
    if (size == 0) return nullptr;
    std::vector<PdbStoreBlock> &blocks = store->blocks;
    // Blocks left over from before a reset are used again before new ones.
    while (store->current < blocks.size() &&
           Capacity(blocks[store->current]) - blocks[store->current].used < size)
        ++store->current;
    if (store->current == blocks.size()) {
        size_t held = 0;
        for (const PdbStoreBlock &b : blocks) held += Capacity(b);
        size_t capacity = std::min(std::max(held, kMinStoreBlock), kMaxStoreBlock);
        PdbStoreBlock block;
        block.bytes = AllocateBlock(std::max<size_t>(capacity, size));
        if (!block.bytes) return nullptr;
        blocks.push_back(std::move(block));
    }
    PdbStoreBlock &block = blocks[store->current];
    uint8_t *copy = block.bytes.get() + block.used;
    memcpy(copy, body, size);
    block.used += size;
    return copy;
}

void PdbStoreReset(PdbStore *store) {
    for (PdbStoreBlock &block : store->blocks) block.used = 0;
    store->current = 0;
}

uint64_t PdbStoreHeld(const PdbStore &store) {
    uint64_t held = 0;
    for (const PdbStoreBlock &block : store.blocks) held += block.used;
    return held;
}

int32_t PdbStoreCompact(PdbStore *store, PdbRecordView *records, size_t count) {
    uint64_t live = BodyBytes(records, count);
    if (live > SIZE_MAX) return kStandinErrTooMany;
    PdbStoreBlock block;
    block.bytes = AllocateBlock(static_cast<size_t>(live));
    if (!block.bytes) return kStandinErrTooMany;
    for (size_t i = 0; i < count; ++i) {
        PdbRecordView &r = records[i];
        if (r.size == 0) continue;
        uint8_t *copy = block.bytes.get() + block.used;
        memcpy(copy, r.body, r.size);
        block.used += r.size;
        r.body = copy;
    }
    store->blocks.clear();
    store->blocks.push_back(std::move(block));
    store->current = 0;
    return 0;
}
