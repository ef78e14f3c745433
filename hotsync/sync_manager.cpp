// Sync manager of the stand-in: the handheld is a folder of .pdb files.
//
// Behaviour callers may rely on:
//   - SyncOpenDB and SyncCreateDB answer kStandinErrNotRegistered while no
//     conduit is registered. Calls that take a database handle only need the
//     handle, so a database stays usable (and closable) after the conduit
//     that opened it unregistered.
//   - A database is opened whole into memory; handles run 1..255. Opening or
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
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>

#include "os.h"
#include "pdb.h"
#include "progress.h"
#include "standin.h"

namespace {

constexpr int kMaxHandles = 255;
constexpr uint32_t kMaxUniqueId = 0xFFFFFF;
constexpr int16_t kMaxCategory = 15;

struct OpenDatabase {
    std::string name;
    std::string path;
    uint8_t mode = 0;
    bool changed = false;
    PdbDatabase db;
    uint64_t fileSize = 0;  // kept up to date: recounting per write is quadratic
    // How often each unique ID occurs, so a fresh ID is found without a scan.
    std::unordered_map<uint32_t, uint32_t> idUse;
};

struct SyncManager {
    bool dirChosen = false;
    std::string handheldDir;
    std::set<ConduitHandle> conduits;
    ConduitHandle lastConduit = 0;
    std::map<uint8_t, std::unique_ptr<OpenDatabase>> open;
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

OpenDatabase *Find(uint8_t handle) {
    auto &open = Manager().open;
    auto it = open.find(handle);
    return it == open.end() ? nullptr : it->second.get();
}

bool IsOpen(const std::string &name) {
    for (const auto &entry : Manager().open) {
        if (entry.second->name == name) return true;
    }
    return false;
}

int FreeHandle() {
    for (int h = 1; h <= kMaxHandles; ++h) {
        if (Find(static_cast<uint8_t>(h)) == nullptr) return h;
    }
    return 0;
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
    od->fileSize = PdbFileSize(od->db);
    od->idUse.clear();
    for (const PdbRecord &r : od->db.records) ++od->idUse[r.uniqueId];
}

// Next ID from the seed: never 0, never one in use. There are at most 65,535
// records, so a free ID comes within 65,536 steps.
uint32_t FreshId(OpenDatabase *od) {
    for (;;) {
        od->db.uniqueIdSeed = (od->db.uniqueIdSeed + 1) & kMaxUniqueId;
        uint32_t id = od->db.uniqueIdSeed;
        if (id != 0 && od->idUse.find(id) == od->idUse.end()) return id;
    }
}

// Takes `od` into the handle table and returns the handle.
uint8_t Adopt(std::unique_ptr<OpenDatabase> od) {
    uint8_t handle = static_cast<uint8_t>(FreeHandle());
    Recount(od.get());
    Manager().open[handle] = std::move(od);
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
    if (FreeHandle() == 0) return kStandinErrTooMany;
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

PdbRecord *FindRecord(OpenDatabase *od, uint32_t id) {
    for (PdbRecord &r : od->db.records) {
        if (r.uniqueId == id) return &r;
    }
    return nullptr;
}

}  // namespace

extern "C" {

void StandinSetHandheldDir(const char *directory) {
    SyncManager &m = Manager();
    m.dirChosen = directory != nullptr && directory[0] != '\0';
    m.handheldDir = m.dirChosen ? directory : "";
}

const char *StandinHandheldDir(void) { return HandheldDir().c_str(); }

int StandinOpenDatabaseCount(void) { return static_cast<int>(Manager().open.size()); }

int32_t HS_CALL SyncRegisterConduit(ConduitHandle *handle) {
    int32_t status = 0;
    if (StandinShouldFail("SyncRegisterConduit", &status)) return status;
    if (handle == nullptr) return kStandinErrBadArgument;
    SyncManager &m = Manager();
    do {
        ++m.lastConduit;
    } while (m.lastConduit == 0 || m.conduits.count(m.lastConduit) != 0);
    m.conduits.insert(m.lastConduit);
    *handle = m.lastConduit;
    return 0;
}

int32_t HS_CALL SyncUnRegisterConduit(ConduitHandle handle) {
    int32_t status = 0;
    if (StandinShouldFail("SyncUnRegisterConduit", &status)) return status;
    return Manager().conduits.erase(handle) == 1 ? 0 : kStandinErrBadArgument;
}

int32_t HS_CALL SyncOpenDB(const char *name, int32_t /*cardNo*/, uint8_t *dbHandle,
                           uint8_t openMode) {
    int32_t status = 0;
    if (StandinShouldFail("SyncOpenDB", &status)) return status;
    if (name == nullptr || dbHandle == nullptr) return kStandinErrBadArgument;
    if ((openMode & (kOpenRead | kOpenWrite)) == 0) return kStandinErrBadArgument;
    status = CheckNewOpen(name);
    if (status != 0) return status;
    auto od = std::make_unique<OpenDatabase>();
    od->name = name;
    od->path = PathOf(od->name);
    od->mode = openMode;
    status = PdbLoad(od->path, &od->db);
    if (status != 0) return status;
    *dbHandle = Adopt(std::move(od));
    return 0;
}

int32_t HS_CALL SyncCreateDB(SyncCreateRequest *request) {
    int32_t status = 0;
    if (StandinShouldFail("SyncCreateDB", &status)) return status;
    if (request == nullptr) return kStandinErrBadArgument;
    status = CheckNewOpen(request->name);
    if (status != 0) return status;
    if (request->dbFlags > 0xFFFF || (request->dbFlags & kPdbAttrResourceDb) != 0)
        return kStandinErrBadArgument;
    auto od = std::make_unique<OpenDatabase>();
    od->name = std::string(request->name, strnlen(request->name, kPdbNameSize));
    od->path = PathOf(od->name);
    od->mode = kOpenRead | kOpenWrite | kOpenShowSecret;
    status = CheckAbsent(od->path);
    if (status != 0) return status;
    PdbDatabase &db = od->db;
    memcpy(db.name, od->name.data(), od->name.size());
    db.attributes = static_cast<uint16_t>(request->dbFlags);
    db.creator = request->creator;
    db.type = request->dbType;
    db.creationDate = db.modificationDate = PdbNow();
    status = PdbSave(od->path, db);
    if (status != 0) return status;
    request->dbHandle = Adopt(std::move(od));
    return 0;
}

int32_t HS_CALL SyncCloseDB(uint8_t dbHandle) {
    int32_t status = 0;
    bool injected = StandinShouldFail("SyncCloseDB", &status);
    auto &open = Manager().open;
    auto it = open.find(dbHandle);
    if (it == open.end()) return injected ? status : kStandinErrBadArgument;
    std::unique_ptr<OpenDatabase> od = std::move(it->second);
    open.erase(it);
    if (injected || !od->changed) return status;
    od->db.modificationDate = PdbNow();
    ++od->db.modificationNumber;
    return PdbSave(od->path, od->db) == 0 ? 0 : kStandinErrIo;
}

int32_t HS_CALL SyncResetSyncFlags(uint8_t dbHandle) {
    int32_t status = 0;
    if (StandinShouldFail("SyncResetSyncFlags", &status)) return status;
    OpenDatabase *od = nullptr;
    status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    for (PdbRecord &r : od->db.records) r.attributes &= static_cast<uint8_t>(~kPdbRecDirty);
    od->db.backupDate = PdbNow();
    od->changed = true;
    return 0;
}

int32_t HS_CALL SyncWriteRec(SyncRecordRequest *request) {
    int32_t status = 0;
    if (StandinShouldFail("SyncWriteRec", &status)) return status;
    if (request == nullptr) return kStandinErrBadArgument;
    OpenDatabase *od = nullptr;
    status = CheckWritable(request->dbHandle, &od);
    if (status == 0) status = CheckWriteRequest(request);
    if (status != 0) return status;
    PdbRecord *record = request->recordId == 0 ? nullptr : FindRecord(od, request->recordId);
    uint64_t oldSize = record == nullptr ? 0 : record->body.size();
    if (record == nullptr && od->db.records.size() >= kPdbMaxRecords) return kStandinErrTooMany;
    uint64_t newFileSize = od->fileSize - oldSize + request->recordSize +
                           (record == nullptr ? kPdbEntrySize : 0);
    if (newFileSize > 0xFFFFFFFFu) return kStandinErrTooMany;
    if (record == nullptr) {
        uint32_t id = request->recordId != 0 ? request->recordId : FreshId(od);
        od->db.records.emplace_back();
        record = &od->db.records.back();
        record->uniqueId = id;
        ++od->idUse[id];
    }
    record->attributes = StoredAttributes(request);
    const char *body = request->buffer;
    record->body.assign(body, body + request->recordSize);
    request->recordId = record->uniqueId;
    od->fileSize = newFileSize;
    od->changed = true;
    StandinReportProgress(od->name.c_str(), "write",
                          static_cast<unsigned>(od->db.records.size()), 0);
    return 0;
}

int32_t HS_CALL SyncReadRecordByIndex(SyncRecordRequest *request) {
    int32_t status = 0;
    if (StandinShouldFail("SyncReadRecordByIndex", &status)) return status;
    if (request == nullptr) return kStandinErrBadArgument;
    OpenDatabase *od = Find(request->dbHandle);
    if (od == nullptr) return kStandinErrBadArgument;
    if (request->buffer == nullptr && request->bufferSize != 0) return kStandinErrBadArgument;
    if (request->recordIndex >= od->db.records.size()) return kStandinErrNotFound;
    const PdbRecord &r = od->db.records[request->recordIndex];
    bool deleted = (r.attributes & kPdbRecDeleted) != 0;
    request->recordId = r.uniqueId;
    request->attributes = r.attributes & kPdbRecFlagMask;
    if (deleted) request->attributes |= r.attributes & kPdbRecArchive;
    request->category = deleted ? 0 : static_cast<int16_t>(r.attributes & kPdbRecCategoryMask);
    request->recordSize = static_cast<uint32_t>(r.body.size());
    size_t copy = r.body.size() < request->bufferSize ? r.body.size() : request->bufferSize;
    if (copy != 0) memcpy(request->buffer, r.body.data(), copy);
    StandinReportProgress(od->name.c_str(), "read", request->recordIndex + 1u,
                          static_cast<unsigned>(od->db.records.size()));
    return 0;
}

int32_t HS_CALL SyncPurgeDeletedRecs(uint8_t dbHandle) {
    int32_t status = 0;
    if (StandinShouldFail("SyncPurgeDeletedRecs", &status)) return status;
    OpenDatabase *od = nullptr;
    status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    auto &records = od->db.records;
    size_t before = records.size();
    size_t kept = 0;
    for (size_t i = 0; i < before; ++i) {
        if ((records[i].attributes & kPdbRecDeleted) != 0) continue;
        if (kept != i) records[kept] = std::move(records[i]);
        ++kept;
    }
    records.resize(kept);
    if (kept == before) return 0;
    Recount(od);
    od->changed = true;
    return 0;
}

int32_t HS_CALL SyncPurgeAllRecs(uint8_t dbHandle) {
    int32_t status = 0;
    if (StandinShouldFail("SyncPurgeAllRecs", &status)) return status;
    OpenDatabase *od = nullptr;
    status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    if (od->db.records.empty()) return 0;
    od->db.records.clear();
    Recount(od);
    od->changed = true;
    return 0;
}

int32_t HS_CALL SyncGetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    int32_t status = 0;
    if (StandinShouldFail("SyncGetDBRecordCount", &status)) return status;
    OpenDatabase *od = Find(dbHandle);
    if (od == nullptr || count == nullptr) return kStandinErrBadArgument;
    *count = static_cast<uint16_t>(od->db.records.size());
    return 0;
}

}  // extern "C"
