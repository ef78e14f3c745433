// Sync manager of the stand-in: the handheld is a folder of .pdb files.
//
// Behaviour callers may rely on:
//   - SyncOpenDB and SyncCreateDB answer kStandinErrNotRegistered while no
//     conduit is registered. Calls that take a database handle only need the
//     handle, so a database stays usable (and closable) after the conduit
//     that opened it unregistered.
//   - A database is opened whole into memory (read once into one block, the
//     records as views of their bodies there); handles run 1..255 (hostile
//     mode: any free value 0..255). At most 255 are open at once. Opening or
//     creating a database that is open already answers kStandinErrExists; no
//     free handle answers kStandinErrTooMany.
//   - The card number is ignored. The open mode must hold read (0x80) or
//     write (0x40); reads are always allowed, changes need write
//     (kStandinErrReadOnly). Secret records are always shown, whether or not
//     the mode holds 0x10.
//   - Database names are 1 to 31 bytes without '/' and not "." or "..".
//   - SyncCreateDB writes the new, empty file at once.
//   - SyncCloseDB writes the file back (atomically) only when something
//     changed, with a new modification date and number. The handle is freed
//     in every case, even when the write-back or an injected fault fails the
//     close; the file then keeps its old content.
//   - SyncResetSyncFlags clears every dirty bit and sets the backup date.
//   - An unknown handle or a null pointer answers kStandinErrBadArgument.
//   - Hostile mode (hostile.h) changes only what the callers may not rely on;
//     each public operation below calls it once, after the real work.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hostile.h"
#include "os.h"
#include "pdb.h"
#include "progress.h"
#include "standin.h"

namespace {

constexpr int kMaxHandles = 255;
constexpr uint32_t kMaxUniqueId = 0xFFFFFF;
constexpr int16_t kMaxCategory = 15;

// Bodies replaced or purged stay in the store until they outweigh the live
// ones by this much, then the live ones are moved together.
constexpr uint64_t kStoreSlack = 1u << 20;

// A bit per possible unique ID, in pages of 64 Ki IDs allocated on first use:
// IDs handed out in sequence touch one or two pages, and even 65,535 scattered
// ones no more than the 2 MiB of all 256.
constexpr uint32_t kIdsPerPage = 1u << 16;
constexpr size_t kIdPageWords = kIdsPerPage / 64;

struct IdSet {
    std::vector<std::unique_ptr<uint64_t[]>> pages =
        std::vector<std::unique_ptr<uint64_t[]>>((kMaxUniqueId + 1) / kIdsPerPage);
};

bool Contains(const IdSet &set, uint32_t id) {
    const uint64_t *page = set.pages[id / kIdsPerPage].get();
    uint32_t bit = id % kIdsPerPage;
    return page != nullptr && (page[bit / 64] >> (bit % 64) & 1) != 0;
}

void Insert(IdSet *set, uint32_t id) {
    std::unique_ptr<uint64_t[]> &page = set->pages[id / kIdsPerPage];
    if (!page) page.reset(new uint64_t[kIdPageWords]());
    uint32_t bit = id % kIdsPerPage;
    page[bit / 64] |= uint64_t{1} << (bit % 64);
}

void Clear(IdSet *set) {
    for (std::unique_ptr<uint64_t[]> &page : set->pages) page.reset();
}

struct OpenDatabase {
    std::string name;
    std::string path;
    uint8_t mode = 0;
    bool changed = false;
    PdbHeader header;
    std::vector<PdbRecordView> records;
    PdbStore store;          // holds every body the records point to
    uint64_t bodyBytes = 0;  // kept up to date: recounting per write is quadratic
    // The unique IDs in use, so a fresh ID is found without a scan.
    IdSet ids;
};

struct SyncManager {
    bool dirChosen = false;
    std::string handheldDir;
    std::set<ConduitHandle> conduits;
    ConduitHandle lastConduit = 0;
    // By handle; slot 0 stays empty in kind mode, as handles run 1..255.
    std::unique_ptr<OpenDatabase> open[kMaxHandles + 1];
    int openCount = 0;
};

SyncManager &Manager() {
    static SyncManager manager;
    return manager;
}

const std::string &HandheldDir() {
    SyncManager &m = Manager();
    if (!m.dirChosen) {
        const char *env = getenv("HOTSYNC_HANDHELD");
        m.handheldDir = env != nullptr && env[0] != '\0' ? env : ".";
        m.dirChosen = true;
    }
    return m.handheldDir;
}

OpenDatabase *Find(uint8_t handle) { return Manager().open[handle].get(); }

bool IsOpen(const std::string &name) {
    for (const std::unique_ptr<OpenDatabase> &od : Manager().open) {
        if (od && od->name == name) return true;
    }
    return false;
}

bool HandleInUse(uint32_t handle) { return Find(static_cast<uint8_t>(handle)) != nullptr; }

// Called only while fewer than kMaxHandles are open, so 1..255 has a free one.
uint8_t FreeHandle() {
    if (standin::Hostile()) return static_cast<uint8_t>(standin::HostileHandle(8, HandleInUse));
    int h = 1;
    while (HandleInUse(static_cast<uint32_t>(h))) ++h;
    return static_cast<uint8_t>(h);
}

bool ValidName(const char *name) {
    size_t length = strnlen(name, kPdbNameSize);
    if (length == 0 || length == kPdbNameSize) return false;
    if (memchr(name, '/', length) != nullptr) return false;
    return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

std::string PathOf(const std::string &name) { return HandheldDir() + "/" + name + ".pdb"; }

// Recounts what the record list changes wholesale.
void Recount(OpenDatabase *od) {
    od->bodyBytes = 0;
    Clear(&od->ids);
    for (const PdbRecordView &r : od->records) {
        od->bodyBytes += r.size;
        Insert(&od->ids, r.uniqueId);
    }
}

uint64_t FileSize(const OpenDatabase &od, size_t recordCount) {
    return PdbHeadSize(od.header, recordCount) + od.bodyBytes;
}

// Memory for the records' bodies stays within a constant of what they need,
// however often records are replaced or purged.
void TrimStore(OpenDatabase *od) {
    if (od->records.empty()) {
        PdbStoreReset(&od->store);
        return;
    }
    if (PdbStoreHeld(od->store) > 2 * od->bodyBytes + kStoreSlack)
        PdbStoreCompact(&od->store, od->records.data(), od->records.size());
}

// Next ID from the seed: never 0, never one in use. There are at most 65,535
// records, so a free ID comes within 65,536 steps.
uint32_t FreshId(OpenDatabase *od) {
    for (;;) {
        od->header.uniqueIdSeed = (od->header.uniqueIdSeed + 1) & kMaxUniqueId;
        uint32_t id = od->header.uniqueIdSeed;
        if (id != 0 && !Contains(od->ids, id)) return id;
    }
}

// Takes `od` into the handle table and returns the handle.
uint8_t Adopt(std::unique_ptr<OpenDatabase> od) {
    uint8_t handle = FreeHandle();
    Recount(od.get());
    SyncManager &m = Manager();
    m.open[handle] = std::move(od);
    ++m.openCount;
    return handle;
}

int32_t CheckWritable(uint8_t handle, OpenDatabase **od) {
    *od = Find(handle);
    if (*od == nullptr) return kStandinErrBadArgument;
    if (((*od)->mode & kOpenWrite) == 0) return kStandinErrReadOnly;
    return 0;
}

// Checks shared by open and create.
int32_t CheckNewOpen(const char *name) {
    if (Manager().conduits.empty()) return kStandinErrNotRegistered;
    if (!ValidName(name)) return kStandinErrBadArgument;
    if (IsOpen(name)) return kStandinErrExists;
    if (Manager().openCount >= kMaxHandles) return kStandinErrTooMany;
    return 0;
}

int32_t CheckWriteRequest(const SyncRecordRequest *req) {
    if (req->category < 0 || req->category > kMaxCategory) return kStandinErrBadArgument;
    if (req->recordId > kMaxUniqueId) return kStandinErrBadArgument;
    if (req->buffer == nullptr && req->recordSize != 0) return kStandinErrBadArgument;
    return 0;
}

uint8_t StoredAttributes(const SyncRecordRequest *req) {
    uint8_t flags = req->attributes & kPdbRecFlagMask;
    if ((flags & kPdbRecDeleted) != 0) return flags | (req->attributes & kPdbRecArchive);
    return flags | static_cast<uint8_t>(req->category);
}

int32_t CheckAbsent(const std::string &path) {
    struct stat st;
    if (standin::os::PathStatus(path, &st) == 0) return kStandinErrExists;
    return errno == ENOENT ? 0 : kStandinErrIo;
}

PdbRecordView *FindRecord(OpenDatabase *od, uint32_t id) {
    for (PdbRecordView &r : od->records) {
        if (r.uniqueId == id) return &r;
    }
    return nullptr;
}

int32_t RegisterConduit(ConduitHandle *handle) {
    if (handle == nullptr) return kStandinErrBadArgument;
    SyncManager &m = Manager();
    if (standin::Hostile()) {
        m.lastConduit = standin::HostileHandle(
            32, [](uint32_t h) { return Manager().conduits.count(h) != 0; });
    } else {
        do {
            ++m.lastConduit;
        } while (m.lastConduit == 0 || m.conduits.count(m.lastConduit) != 0);
    }
    m.conduits.insert(m.lastConduit);
    *handle = m.lastConduit;
    return 0;
}

int32_t OpenDB(const char *name, uint8_t *dbHandle, uint8_t openMode) {
    if (name == nullptr || dbHandle == nullptr) return kStandinErrBadArgument;
    if ((openMode & (kOpenRead | kOpenWrite)) == 0) return kStandinErrBadArgument;
    int32_t status = CheckNewOpen(name);
    if (status != 0) return status;
    auto od = std::make_unique<OpenDatabase>();
    od->name = name;
    od->path = PathOf(od->name);
    od->mode = openMode;
    status = PdbLoadViews(od->path, &od->header, &od->records, &od->store);
    if (status != 0) return status;
    *dbHandle = Adopt(std::move(od));
    return 0;
}

int32_t CreateDB(SyncCreateRequest *request) {
    if (request == nullptr) return kStandinErrBadArgument;
    int32_t status = CheckNewOpen(request->name);
    if (status != 0) return status;
    if (request->dbFlags > 0xFFFF || (request->dbFlags & kPdbAttrResourceDb) != 0)
        return kStandinErrBadArgument;
    auto od = std::make_unique<OpenDatabase>();
    od->name = std::string(request->name, strnlen(request->name, kPdbNameSize));
    od->path = PathOf(od->name);
    od->mode = kOpenRead | kOpenWrite | kOpenShowSecret;
    status = CheckAbsent(od->path);
    if (status != 0) return status;
    PdbHeader &db = od->header;
    memcpy(db.name, od->name.data(), od->name.size());
    db.attributes = static_cast<uint16_t>(request->dbFlags);
    db.creator = request->creator;
    db.type = request->dbType;
    db.creationDate = db.modificationDate = PdbNow();
    status = PdbSaveViews(od->path, db, nullptr, 0);
    if (status != 0) return status;
    request->dbHandle = Adopt(std::move(od));
    return 0;
}

// The handle is freed even when the close fails, injected or not.
int32_t CloseDB(uint8_t dbHandle, bool injected, int32_t injectedStatus) {
    SyncManager &m = Manager();
    std::unique_ptr<OpenDatabase> od = std::move(m.open[dbHandle]);
    if (!od) return injected ? injectedStatus : kStandinErrBadArgument;
    --m.openCount;
    if (injected) return injectedStatus;
    if (!od->changed) return 0;
    od->header.modificationDate = PdbNow();
    ++od->header.modificationNumber;
    int32_t status = PdbSaveViews(od->path, od->header, od->records.data(), od->records.size());
    return status == 0 ? 0 : kStandinErrIo;
}

int32_t ResetSyncFlags(uint8_t dbHandle) {
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    for (PdbRecordView &r : od->records) r.attributes &= static_cast<uint8_t>(~kPdbRecDirty);
    od->header.backupDate = PdbNow();
    od->changed = true;
    return 0;
}

int32_t WriteRec(SyncRecordRequest *request) {
    if (request == nullptr) return kStandinErrBadArgument;
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(request->dbHandle, &od);
    if (status == 0) status = CheckWriteRequest(request);
    if (status != 0) return status;
    PdbRecordView *record = request->recordId == 0 ? nullptr : FindRecord(od, request->recordId);
    uint64_t oldSize = record == nullptr ? 0 : record->size;
    size_t count = od->records.size();
    if (record == nullptr && count >= kPdbMaxRecords) return kStandinErrTooMany;
    uint64_t newFileSize =
        FileSize(*od, record == nullptr ? count + 1 : count) - oldSize + request->recordSize;
    if (newFileSize > 0xFFFFFFFFu) return kStandinErrTooMany;
    const uint8_t *body = PdbStoreBody(&od->store, request->buffer, request->recordSize);
    if (body == nullptr && request->recordSize != 0) return kStandinErrTooMany;
    if (record == nullptr) {
        uint32_t id = request->recordId != 0 ? request->recordId : FreshId(od);
        od->records.push_back(PdbRecordView{nullptr, 0, id, 0});
        record = &od->records.back();
        Insert(&od->ids, id);
    }
    record->attributes = StoredAttributes(request);
    record->body = body;
    record->size = request->recordSize;
    request->recordId = record->uniqueId;
    od->bodyBytes = od->bodyBytes - oldSize + request->recordSize;
    od->changed = true;
    if (oldSize != 0) TrimStore(od);
    StandinReportProgress(od->name.c_str(), "write", static_cast<unsigned>(od->records.size()),
                          0);
    return 0;
}

int32_t ReadRecordByIndex(SyncRecordRequest *request) {
    if (request == nullptr) return kStandinErrBadArgument;
    OpenDatabase *od = Find(request->dbHandle);
    if (od == nullptr) return kStandinErrBadArgument;
    if (request->buffer == nullptr && request->bufferSize != 0) return kStandinErrBadArgument;
    if (request->recordIndex >= od->records.size()) return kStandinErrNotFound;
    const PdbRecordView &r = od->records[request->recordIndex];
    // A body larger than the buffer is the platform's business: cut, or refused.
    if (r.size > request->bufferSize && standin::Hostile() && standin::HostileChance(2))
        return kStandinErrTooMany;
    bool deleted = (r.attributes & kPdbRecDeleted) != 0;
    request->recordId = r.uniqueId;
    request->attributes = r.attributes & kPdbRecFlagMask;
    if (deleted) request->attributes |= r.attributes & kPdbRecArchive;
    request->category = deleted ? 0 : static_cast<int16_t>(r.attributes & kPdbRecCategoryMask);
    request->recordSize = r.size;
    size_t copy = r.size < request->bufferSize ? r.size : request->bufferSize;
    if (copy != 0) memcpy(request->buffer, r.body, copy);
    StandinReportProgress(od->name.c_str(), "read", request->recordIndex + 1u,
                          static_cast<unsigned>(od->records.size()));
    return 0;
}

// What a read may leave besides the body, the attributes and the category:
// junk in every other field but the handle and the buffer address, which the
// caller sets once; the record size set on some reads only; junk in the
// caller's buffer after the body, up to the size it stated. A failed read
// delivers nothing.
void HostileRead(int32_t status, const SyncRecordRequest &entry, SyncRecordRequest *request) {
    const SyncRecordRequest done = *request;
    standin::HostileJunk(request, sizeof *request);
    request->dbHandle = entry.dbHandle;
    request->buffer = entry.buffer;
    size_t delivered = 0;
    if (status == 0) {
        request->attributes = done.attributes;
        request->category = done.category;
        request->recordSize = standin::HostileChance(3) ? done.recordSize : entry.recordSize;
        delivered = done.recordSize < entry.bufferSize ? done.recordSize : entry.bufferSize;
    }
    if (entry.buffer != nullptr && delivered < entry.bufferSize)
        standin::HostileJunk(entry.buffer + delivered, entry.bufferSize - delivered);
}

int32_t PurgeDeletedRecs(uint8_t dbHandle) {
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    auto &records = od->records;
    size_t before = records.size();
    size_t kept = 0;
    for (size_t i = 0; i < before; ++i) {
        if ((records[i].attributes & kPdbRecDeleted) != 0) continue;
        if (kept != i) records[kept] = records[i];
        ++kept;
    }
    records.resize(kept);
    if (kept == before) return 0;
    Recount(od);
    TrimStore(od);
    od->changed = true;
    return 0;
}

int32_t PurgeAllRecs(uint8_t dbHandle) {
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    if (od->records.empty()) return 0;
    od->records.clear();
    Recount(od);
    TrimStore(od);
    od->changed = true;
    return 0;
}

int32_t GetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    OpenDatabase *od = Find(dbHandle);
    if (od == nullptr || count == nullptr) return kStandinErrBadArgument;
    *count = static_cast<uint16_t>(od->records.size());
    return 0;
}

// A failed call leaves nothing defined in what it would have filled.
template <typename T>
void JunkOnFailure(int32_t status, T *out) {
    if (status != 0 && out != nullptr && standin::Hostile()) standin::HostileJunk(out, sizeof *out);
}

}  // namespace

extern "C" {

void StandinSetHandheldDir(const char *directory) {
    SyncManager &m = Manager();
    m.dirChosen = directory != nullptr && directory[0] != '\0';
    m.handheldDir = m.dirChosen ? directory : "";
}

const char *StandinHandheldDir(void) { return HandheldDir().c_str(); }

int StandinOpenDatabaseCount(void) { return Manager().openCount; }

// Each operation: the fault table, the real work, then what hostile mode may
// change of the outcome.

int32_t HS_CALL SyncRegisterConduit(ConduitHandle *handle) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncRegisterConduit", &status)) status = RegisterConduit(handle);
    JunkOnFailure(status, handle);
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncUnRegisterConduit(ConduitHandle handle) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncUnRegisterConduit", &status))
        status = Manager().conduits.erase(handle) == 1 ? 0 : kStandinErrBadArgument;
    return standin::UnexaminedResult(status);
}

int32_t HS_CALL SyncOpenDB(const char *name, int32_t /*cardNo*/, uint8_t *dbHandle,
                           uint8_t openMode) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncOpenDB", &status)) status = OpenDB(name, dbHandle, openMode);
    JunkOnFailure(status, dbHandle);
    return standin::FailureStatus(status, kSyncErrDatabaseMissing);
}

int32_t HS_CALL SyncCreateDB(SyncCreateRequest *request) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncCreateDB", &status)) status = CreateDB(request);
    // Only the handle in byte 0 is the caller's to read, and only on success.
    if (request != nullptr && standin::Hostile()) {
        const uint8_t handle = request->dbHandle;
        standin::HostileJunk(request, sizeof *request);
        if (status == 0) request->dbHandle = handle;
    }
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncCloseDB(uint8_t dbHandle) {
    int32_t injectedStatus = 0;
    bool injected = StandinShouldFail("SyncCloseDB", &injectedStatus);
    return standin::FailureStatus(CloseDB(dbHandle, injected, injectedStatus));
}

int32_t HS_CALL SyncResetSyncFlags(uint8_t dbHandle) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncResetSyncFlags", &status)) status = ResetSyncFlags(dbHandle);
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncWriteRec(SyncRecordRequest *request) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncWriteRec", &status)) status = WriteRec(request);
    // The caller reads nothing of the request after a write.
    if (request != nullptr && standin::Hostile()) standin::HostileJunk(request, sizeof *request);
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncReadRecordByIndex(SyncRecordRequest *request) {
    int32_t status = 0;
    const SyncRecordRequest entry = request != nullptr ? *request : SyncRecordRequest{};
    if (!StandinShouldFail("SyncReadRecordByIndex", &status)) status = ReadRecordByIndex(request);
    if (request != nullptr && standin::Hostile()) HostileRead(status, entry, request);
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncPurgeDeletedRecs(uint8_t dbHandle) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncPurgeDeletedRecs", &status)) status = PurgeDeletedRecs(dbHandle);
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncPurgeAllRecs(uint8_t dbHandle) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncPurgeAllRecs", &status)) status = PurgeAllRecs(dbHandle);
    return standin::FailureStatus(status);
}

int32_t HS_CALL SyncGetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    int32_t status = 0;
    if (!StandinShouldFail("SyncGetDBRecordCount", &status))
        status = GetDBRecordCount(dbHandle, count);
    JunkOnFailure(status, count);
    return standin::FailureStatus(status);
}

}  // extern "C"
