// Sync manager of the stand-in: the handheld is a folder of .pdb files. What
// callers may rely on is in README.md ("The sync manager").
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hostile.h"
#include "os.h"
#include "pdb.h"
#include "standin.h"
#include "trace.h"

namespace {

constexpr int kMaxHandles = 255;
constexpr uint32_t kMaxUniqueId = 0xFFFFFF;
constexpr int16_t kMaxCategory = 15;

// The file stays open while the database is: a record's body is read from
// there until the record is written.
struct OpenDatabase {
    std::string path;
    uint8_t mode = 0;
    bool changed = false;
    PdbDatabase db;  // header and blocks; the records are `records`
    standin::os::Source source;
    std::vector<PdbHeldRecord> records;
    uint64_t fileSize = 0;  // of the file as it would be written, for the size check
    std::optional<std::vector<uint32_t>> ids;  // in use, sorted: made when FreshId needs them
};

struct SyncManager {
    std::optional<std::string> handheldDir;
    std::set<ConduitHandle> conduits;
    std::map<uint8_t, OpenDatabase> open;  // by handle
    StandinProgressHook progress = nullptr;
};

SyncManager &Manager() {
    static SyncManager manager;
    return manager;
}

const std::string &HandheldDir() {
    return standin::Chosen(Manager().handheldDir, [] {
        std::string directory = standin::Environment("HOTSYNC_HANDHELD");
        return directory.empty() ? std::string(".") : directory;
    });
}

OpenDatabase *Find(uint8_t handle) {
    auto it = Manager().open.find(handle);
    return it == Manager().open.end() ? nullptr : &it->second;
}

void ReportProgress(const OpenDatabase &od, const char *operation, unsigned done, unsigned total) {
    if (Manager().progress) Manager().progress(od.db.name, operation, done, total);
}

bool HandleInUse(uint32_t handle) { return Manager().open.count(static_cast<uint8_t>(handle)); }

bool ValidName(const char *name) {
    const size_t length = strnlen(name, kPdbNameSize);
    return length != 0 && length != kPdbNameSize && memchr(name, '/', length) == nullptr &&
           strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

// Next ID from the seed: never 0, never one in use. There are at most 65,535
// records, so a free ID comes within 65,536 steps.
uint32_t FreshId(OpenDatabase *od) {
    if (!od->ids) {
        od->ids.emplace();
        for (const PdbHeldRecord &r : od->records) od->ids->push_back(r.uniqueId);
        std::sort(od->ids->begin(), od->ids->end());
    }
    const std::vector<uint32_t> &ids = *od->ids;
    for (;;) {
        od->db.uniqueIdSeed = (od->db.uniqueIdSeed + 1) & kMaxUniqueId;
        uint32_t id = od->db.uniqueIdSeed;
        // Fresh IDs mostly come in rising order, past every ID in use.
        const bool used = !ids.empty() && id <= ids.back() &&
                          std::binary_search(ids.begin(), ids.end(), id);
        if (id != 0 && !used) return id;
    }
}

int32_t CheckWritable(uint8_t handle, OpenDatabase **od) {
    *od = Find(handle);
    if (*od == nullptr) return kStandinErrBadArgument;
    return ((*od)->mode & kOpenWrite) == 0 ? kStandinErrReadOnly : 0;
}

// Open and create: the checks, then `load` fills the database in, then a
// handle, of which 1..255 has a free one since fewer than kMaxHandles are open.
template <typename Load>
int32_t Open(const char *name, uint8_t mode, uint8_t *handle, Load load) {
    if (Manager().conduits.empty()) return kStandinErrNotRegistered;
    if (!ValidName(name)) return kStandinErrBadArgument;
    auto named = [&](const auto &entry) { return PdbName(entry.second.db) == name; };
    if (std::any_of(Manager().open.begin(), Manager().open.end(), named)) return kStandinErrExists;
    if (Manager().open.size() >= kMaxHandles) return kStandinErrTooMany;
    OpenDatabase od;
    od.path = HandheldDir() + "/" + name + ".pdb";
    od.mode = mode;
    if (int32_t status = load(&od)) return status;
    od.fileSize = PdbFileSize(od.db, od.records);
    *handle = static_cast<uint8_t>(standin::FreeHandle(8, HandleInUse));
    Manager().open[*handle] = std::move(od);
    return 0;
}

int32_t CheckWriteRequest(const SyncRecordRequest *req) {
    const bool valid = req->category >= 0 && req->category <= kMaxCategory &&
                       req->recordId <= kMaxUniqueId && (req->buffer || req->recordSize == 0);
    return valid ? 0 : kStandinErrBadArgument;
}

uint8_t StoredAttributes(const SyncRecordRequest *req) {
    uint8_t flags = req->attributes & kPdbRecFlagMask;
    if ((flags & kPdbRecDeleted) != 0) return flags | (req->attributes & kPdbRecArchive);
    return flags | static_cast<uint8_t>(req->category);
}

int32_t RegisterConduit(ConduitHandle *handle) {
    if (handle == nullptr) return kStandinErrBadArgument;
    *handle = standin::FreeHandle(32, [](uint32_t h) { return Manager().conduits.count(h) != 0; });
    Manager().conduits.insert(*handle);
    return 0;
}

int32_t OpenDB(const char *name, uint8_t *dbHandle, uint8_t openMode) {
    if (name == nullptr || dbHandle == nullptr || (openMode & (kOpenRead | kOpenWrite)) == 0)
        return kStandinErrBadArgument;
    return Open(name, openMode, dbHandle, [](OpenDatabase *od) {
        return PdbOpen(od->path, &od->source, &od->db, &od->records);
    });
}

int32_t CreateDB(SyncCreateRequest *request) {
    if (request == nullptr) return kStandinErrBadArgument;
    auto load = [request](OpenDatabase *od) -> int32_t {
        if (request->dbFlags > 0xFFFF || (request->dbFlags & kPdbAttrResourceDb) != 0)
            return kStandinErrBadArgument;
        std::error_code error;
        if (std::filesystem::exists(standin::os::FsPath(od->path), error)) return kStandinErrExists;
        if (error) return kStandinErrIo;
        PdbDatabase &db = od->db;
        memcpy(db.name, request->name, strlen(request->name));
        db.attributes = static_cast<uint16_t>(request->dbFlags);
        db.creator = request->creator;
        db.type = request->dbType;
        db.creationDate = db.modificationDate = PdbNow();
        return PdbSave(od->path, db);
    };
    return Open(request->name, kOpenRead | kOpenWrite | kOpenShowSecret, &request->dbHandle, load);
}

// The handle is freed even when the close fails, injected or not.
int32_t CloseDB(uint8_t dbHandle) {
    auto node = Manager().open.extract(dbHandle);
    if (node.empty()) return kStandinErrBadArgument;
    OpenDatabase &od = node.mapped();
    if (!od.changed) return 0;
    od.db.modificationDate = PdbNow();
    ++od.db.modificationNumber;
    return PdbSaveHeld(od.path, od.db, od.records, &od.source) == 0 ? 0 : kStandinErrIo;
}

int32_t ResetSyncFlags(uint8_t dbHandle) {
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    for (PdbHeldRecord &r : od->records) r.attributes &= static_cast<uint8_t>(~kPdbRecDirty);
    od->db.backupDate = PdbNow();
    od->changed = true;
    return 0;
}

int32_t WriteRec(SyncRecordRequest *request) {
    if (request == nullptr) return kStandinErrBadArgument;
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(request->dbHandle, &od);
    if (status == 0) status = CheckWriteRequest(request);
    if (status != 0) return status;
    std::vector<PdbHeldRecord> &records = od->records;
    auto same = [id = request->recordId](const PdbHeldRecord &r) { return r.uniqueId == id; };
    PdbHeldRecord *record = request->recordId == 0 ? nullptr : standin::FindEntry(records, same);
    if (record == nullptr && records.size() >= kPdbMaxRecords) return kStandinErrTooMany;
    uint64_t fileSize = od->fileSize + request->recordSize -
                        (record == nullptr ? -uint64_t{kPdbEntrySize} : record->size);
    if (fileSize > 0xFFFFFFFFu) return kStandinErrTooMany;
    if (record == nullptr) {
        uint32_t id = request->recordId != 0 ? request->recordId : FreshId(od);
        std::optional<std::vector<uint32_t>> &ids = od->ids;
        if (ids && (ids->empty() || ids->back() <= id)) ids->push_back(id);
        else if (ids) ids->insert(std::upper_bound(ids->begin(), ids->end(), id), id);
        records.push_back(PdbHeldRecord{0, id, nullptr, 0, 0, {}});
        record = &records.back();
    }
    record->attributes = StoredAttributes(request);
    const uint8_t *body = reinterpret_cast<const uint8_t *>(request->buffer);
    record->written.assign(body, body + request->recordSize);
    record->body = record->written.data();
    record->size = request->recordSize;
    request->recordId = record->uniqueId;
    od->fileSize = fileSize;
    od->changed = true;
    ReportProgress(*od, "write", static_cast<unsigned>(records.size()), 0);
    return 0;
}

int32_t ReadRecordByIndex(SyncRecordRequest *request) {
    if (request == nullptr) return kStandinErrBadArgument;
    OpenDatabase *od = Find(request->dbHandle);
    if (!od || (!request->buffer && request->bufferSize != 0)) return kStandinErrBadArgument;
    const std::vector<PdbHeldRecord> &records = od->records;
    if (request->recordIndex >= records.size()) return kStandinErrNotFound;
    const PdbHeldRecord &r = records[request->recordIndex];
    const uint32_t size = static_cast<uint32_t>(r.size);
    // A body larger than the buffer is the platform's business: cut, or refused.
    if (size > request->bufferSize && standin::Hostile() && standin::HostileChance(2))
        return kStandinErrTooMany;
    const size_t copy = std::min<size_t>(size, request->bufferSize);
    if (copy != 0 && r.body != nullptr) memcpy(request->buffer, r.body, copy);
    else if (copy != 0 && od->source.Read(r.offset, request->buffer, copy) != 0)
        return kStandinErrIo;
    bool deleted = (r.attributes & kPdbRecDeleted) != 0;
    request->recordId = r.uniqueId;
    request->attributes = r.attributes & kPdbRecFlagMask;
    if (deleted) request->attributes |= r.attributes & kPdbRecArchive;
    request->category = deleted ? 0 : static_cast<int16_t>(r.attributes & kPdbRecCategoryMask);
    request->recordSize = size;
    ReportProgress(*od, "read", request->recordIndex + 1u, static_cast<unsigned>(records.size()));
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

// Drops every record, or the deleted ones; a purge that drops none changes
// nothing. Once no body lies in the file, the file is closed.
int32_t Purge(uint8_t dbHandle, bool all) {
    OpenDatabase *od = nullptr;
    int32_t status = CheckWritable(dbHandle, &od);
    if (status != 0) return status;
    std::vector<PdbHeldRecord> &records = od->records;
    auto drop = [all](const PdbHeldRecord &r) { return all || (r.attributes & kPdbRecDeleted); };
    auto kept = std::remove_if(records.begin(), records.end(), drop);
    if (kept == records.end()) return 0;
    records.erase(kept, records.end());
    if (records.empty()) od->source.Close();
    od->fileSize = PdbFileSize(od->db, records);
    od->ids.reset();
    od->changed = true;
    return 0;
}

int32_t GetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    OpenDatabase *od = Find(dbHandle);
    if (od == nullptr || count == nullptr) return kStandinErrBadArgument;
    *count = static_cast<uint16_t>(od->records.size());
    return 0;
}

// The outcome of a call whose failure leaves nothing defined in `*out`.
template <typename T>
auto JunkOnFailure(T *out, int32_t meaningful = 0) {
    return [=](int32_t status, bool) {
        if (status != 0 && out != nullptr && standin::Hostile())
            standin::HostileJunk(out, sizeof *out);
        return standin::FailureStatus(status, meaningful);
    };
}

// A record call's trace, as on entry: the handle, then the ID and size of a
// write or the index of a read.
standin::Arguments RecordArguments(const SyncRecordRequest *request,
                                   const SyncRecordRequest &entry, bool write) {
    if (request == nullptr) return {"(null)"};
    if (!write) return standin::Described(entry.dbHandle, entry.recordIndex);
    return standin::Described(entry.dbHandle, entry.recordId, entry.recordSize);
}

}  // namespace

void standin::ResetSyncManager() { Manager() = SyncManager(); }

extern "C" {

void StandinSetProgressHook(StandinProgressHook hook) { Manager().progress = hook; }

void StandinSetHandheldDir(const char *directory) {
    Manager().handheldDir = standin::TextSetting(directory);
}

const char *StandinHandheldDir(void) { return HandheldDir().c_str(); }

int StandinOpenDatabaseCount(void) { return static_cast<int>(Manager().open.size()); }

int32_t HS_CALL SyncRegisterConduit(ConduitHandle *handle) {
    return standin::Call(
        "SyncRegisterConduit", [=] { return RegisterConduit(handle); }, JunkOnFailure(handle),
        [=] { return standin::Arguments{handle ? std::to_string(*handle) : "(null)"}; });
}

int32_t HS_CALL SyncUnRegisterConduit(ConduitHandle handle) {
    return standin::Call(
        "SyncUnRegisterConduit",
        [=] { return Manager().conduits.erase(handle) == 1 ? 0 : int32_t{kStandinErrBadArgument}; },
        standin::Unexamined, handle);
}

int32_t HS_CALL SyncOpenDB(const char *name, int32_t /*cardNo*/, uint8_t *dbHandle,
                           uint8_t openMode) {
    return standin::Call("SyncOpenDB", [=] { return OpenDB(name, dbHandle, openMode); },
                         JunkOnFailure(dbHandle, kSyncErrDatabaseMissing), name, openMode);
}

int32_t HS_CALL SyncCreateDB(SyncCreateRequest *request) {
    // Only the handle in byte 0 is the caller's to read, and only on success.
    auto outcome = [=](int32_t status, bool) {
        if (request != nullptr && standin::Hostile()) {
            const uint8_t handle = request->dbHandle;
            standin::HostileJunk(request, sizeof *request);
            if (status == 0) request->dbHandle = handle;
        }
        return standin::FailureStatus(status);
    };
    std::string name =
        request ? std::string(request->name, strnlen(request->name, kPdbNameSize)) : "(null)";
    return standin::Call("SyncCreateDB", [=] { return CreateDB(request); }, outcome, name);
}

int32_t HS_CALL SyncCloseDB(uint8_t dbHandle) {
    auto outcome = [=](int32_t status, bool injected) {
        if (injected) Manager().open.erase(dbHandle);
        return standin::FailureStatus(status);
    };
    return standin::Call("SyncCloseDB", [=] { return CloseDB(dbHandle); }, outcome, dbHandle);
}

int32_t HS_CALL SyncResetSyncFlags(uint8_t dbHandle) {
    return standin::Call("SyncResetSyncFlags", [=] { return ResetSyncFlags(dbHandle); },
                         standin::Status(), dbHandle);
}

int32_t HS_CALL SyncWriteRec(SyncRecordRequest *request) {
    const SyncRecordRequest entry = request != nullptr ? *request : SyncRecordRequest{};
    // The caller reads nothing of the request after a write.
    auto outcome = [=](int32_t status, bool) {
        if (request != nullptr && standin::Hostile())
            standin::HostileJunk(request, sizeof *request);
        return standin::FailureStatus(status);
    };
    return standin::Call("SyncWriteRec", [=] { return WriteRec(request); }, outcome,
                         [&] { return RecordArguments(request, entry, true); });
}

int32_t HS_CALL SyncReadRecordByIndex(SyncRecordRequest *request) {
    const SyncRecordRequest entry = request != nullptr ? *request : SyncRecordRequest{};
    auto outcome = [&](int32_t status, bool) {
        if (request != nullptr && standin::Hostile()) HostileRead(status, entry, request);
        return standin::FailureStatus(status);
    };
    return standin::Call("SyncReadRecordByIndex", [=] { return ReadRecordByIndex(request); },
                         outcome, [&] { return RecordArguments(request, entry, false); });
}

int32_t HS_CALL SyncPurgeDeletedRecs(uint8_t dbHandle) {
    return standin::Call("SyncPurgeDeletedRecs", [=] { return Purge(dbHandle, false); },
                         standin::Status(), dbHandle);
}

int32_t HS_CALL SyncPurgeAllRecs(uint8_t dbHandle) {
    return standin::Call("SyncPurgeAllRecs", [=] { return Purge(dbHandle, true); },
                         standin::Status(), dbHandle);
}

int32_t HS_CALL SyncGetDBRecordCount(uint8_t dbHandle, uint16_t *count) {
    return standin::Call("SyncGetDBRecordCount", [=] { return GetDBRecordCount(dbHandle, count); },
                         JunkOnFailure(count), dbHandle);
}

}  // extern "C"
