// The two copy directions. Neither ever leaves the user's Cameras.txt partly
// written: the export builds the new list in Temp.txt and puts it in place
// only once it is whole, and tidies the handheld only after that.
#include "copy.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera_record.h"

namespace {

const char kDatabaseName[] = "LenfolDB";
const char kDesktopFileName[] = "Cameras.txt";
const char kTempFileName[] = "Temp.txt";
const uint8_t kOpenMode = kOpenRead | kOpenWrite | kOpenShowSecret;
const uint32_t kCreatorId = (uint32_t('L') << 24) | (uint32_t('n') << 16) | (uint32_t('F') << 8) | 'o';
const uint32_t kDatabaseType = 0x4974656D;  // 'Item'
// The request's buffer size is 16 bits wide; LineBuffer is larger.
const uint16_t kReadBufferSize = 65535;
// Put in the record-size field before each read. A handheld record is far
// smaller, so a field still holding it was not filled in by this read.
const uint32_t kRecordSizeUnset = 0xFFFFFFFFu;

typedef char DesktopPath[kDesktopPathBufferSize];

void LogError(const char *text) { LogAddEntry(text, kLogActivityError, 0); }

// The desktop directory comes from the host unchecked: it may fill its field
// without a terminator, or leave no room for the file name.
bool BuildDesktopPath(const SyncProperties *properties, const char *fileName, DesktopPath path) {
    const size_t dirLength = strnlen(properties->pathName, sizeof properties->pathName);
    const size_t nameLength = std::strlen(fileName);
    if (dirLength + nameLength >= kDesktopPathBufferSize) {
        LogAddFormattedEntry(kLogActivityError, 0, "Path too long for %s: %.*s", fileName,
                             static_cast<int>(dirLength), properties->pathName);
        return false;
    }
    std::memcpy(path, properties->pathName, dirLength);
    std::memcpy(path + dirLength, fileName, nameLength + 1);
    return true;
}

int32_t CloseDatabase(uint8_t db) {
    const int32_t status = SyncCloseDB(db);
    if (status != 0) LogError("SyncDBClose failed");
    return status;
}

// The first failure is the one the HotSync reports.
int32_t FirstFailure(int32_t first, int32_t then) { return first != 0 ? first : then; }

bool IsYes(const char *flag) { return flag != nullptr && std::strcmp(flag, "Y") == 0; }

// ---- Handheld to desktop ------------------------------------------------

// The sync manager need not report the body's size, nor leave the request's
// other fields as they were: the body is bounded by the size it reported, or
// else by the buffer size this read stated.
int32_t ExportRecord(const SyncRecordRequest &request, FILE *out) {
    const size_t delivered = request.recordSize == kRecordSizeUnset
                                 ? kReadBufferSize
                                 : std::min<size_t>(request.recordSize, kReadBufferSize);
    CameraRecord *record = UnpackCameraRecord(LineBuffer, delivered);
    // The unpacked flag is a one-byte "N" of its own: turned into "Y" in
    // place, a private record costs no allocation more than any other.
    if (request.attributes & kRecAttrSecret) record->privateFlag[0] = 'Y';
    SetCategoryText(request.category, record);
    const int32_t written = WriteCustomerToFile(out, record);
    FreeCameraRecord(record);
    if (written != 0) {
        LogError("WriteCustomerToFile failed");
        return kConduitErrDesktopFile;
    }
    return 0;
}

int32_t ExportRecords(uint8_t db, FILE *out) {
    uint16_t count = 0;
    int32_t status = SyncGetDBRecordCount(db, &count);
    if (status != 0) {
        LogError("SyncGetDBRecordCount failed");
        return status;
    }
    SyncRecordRequest request{};
    request.dbHandle = db;
    for (uint32_t index = 0; index < count; ++index) {
        request.recordIndex = static_cast<uint16_t>(index);
        request.recordSize = kRecordSizeUnset;
        request.bufferSize = kReadBufferSize;
        request.buffer = LineBuffer;
        request.reserved = 0;
        status = SyncReadRecordByIndex(&request);
        if (status != 0) {
            LogError("SyncReadRecordByIndex failed");
            return status;
        }
        if (request.attributes & (kRecAttrDeleted | kRecAttrArchived)) continue;
        status = ExportRecord(request, out);
        if (status != 0) return status;
    }
    return 0;
}

// Writes every live record to the temporary file; removes it on any failure.
int32_t ExportToTempFile(uint8_t db, const char *tempPath) {
    FILE *out = std::fopen(tempPath, "w");
    if (out == nullptr) {
        LogAddFormattedEntry(kLogActivityError, 0, "fopen(%s) failed", tempPath);
        return kConduitErrDesktopFile;
    }
    int32_t status = ExportRecords(db, out);
    if (std::fclose(out) != 0 && status == 0) {
        LogAddFormattedEntry(kLogActivityError, 0, "fclose(%s) failed", tempPath);
        status = kConduitErrDesktopFile;
    }
    if (status != 0) std::remove(tempPath);
    return status;
}

// An ANSI call: a path in the ANSI code page reaches the file the ANSI fopen
// made, whatever C locale the host left the runtime in.
int32_t ReplaceDesktopFile(const char *tempPath, const char *targetPath) {
    if (MoveFileExA(tempPath, targetPath, kMoveFileReplaceExisting) != 0) return 0;
    LogAddFormattedEntry(kLogActivityError, 0, "MoveFileExA(%s) failed", targetPath);
    std::remove(tempPath);
    return kConduitErrDesktopFile;
}

// Only once the desktop holds the records may the handheld forget its
// deleted ones and its dirty marks.
void TidyHandheld(uint8_t db) {
    if (SyncPurgeDeletedRecs(db) != 0) LogError("SyncPurgeDeletedRecs failed");
    if (SyncResetSyncFlags(db) != 0) LogError("SyncResetSyncFlags failed");
}

// ---- Desktop to handheld ------------------------------------------------

int32_t OpenOrCreateDatabase(uint8_t *db) {
    int32_t status = SyncOpenDB(kDatabaseName, 0, db, kOpenMode);
    if (status == 0) return 0;
    LogError("SyncOpenDB failed");
    if (status != kSyncErrDatabaseMissing) return status;

    SyncCreateRequest request;
    std::memset(&request, 0, sizeof request);
    request.creator = kCreatorId;
    request.dbFlags = 0;
    request.cardNo = 0;
    std::memcpy(request.name, kDatabaseName, sizeof kDatabaseName);
    request.dbType = kDatabaseType;
    status = SyncCreateDB(&request);
    if (status != 0) {
        LogError("SyncCreateDB failed");
        return status;
    }
    *db = request.dbHandle;
    return 0;
}

int32_t ImportRecord(uint8_t db, const CameraRecord *record) {
    if (IsYes(record->deletedFlag)) return 0;
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.recordId = 0;
    request.attributes = IsYes(record->privateFlag) ? kRecAttrSecret : 0;
    const int category = record->category != nullptr ? std::atoi(record->category) : 0;
    request.category = static_cast<int16_t>(static_cast<uint16_t>(category));
    const int32_t size = PackCameraRecord(LineBuffer, sizeof LineBuffer, record);
    if (size == 0) {
        LogError("PackCameraRecord failed");
        return kConduitErrDesktopFile;
    }
    request.recordSize = static_cast<uint32_t>(size);
    request.buffer = LineBuffer;
    request.reserved = 0;
    const int32_t status = SyncWriteRec(&request);
    if (status != 0) LogError("SyncWriteRec failed");
    return status;
}

int32_t ImportRecords(uint8_t db, FILE *in) {
    while (CameraRecord *record = ReadCameraFromFile(in)) {
        const int32_t status = ImportRecord(db, record);
        FreeCameraRecord(record);
        if (status != 0) return status;
    }
    // The reader stops alike at the end and on a read error; only the end
    // means every camera reached the handheld.
    if (std::ferror(in)) {
        LogError("ReadCameraFromFile failed");
        return kConduitErrDesktopFile;
    }
    return 0;
}

}  // namespace

int32_t CopyHandheldToDesktop(const SyncProperties *properties) {
    DesktopPath target, temp;
    if (!BuildDesktopPath(properties, kDesktopFileName, target) ||
        !BuildDesktopPath(properties, kTempFileName, temp))
        return kConduitErrDesktopFile;

    uint8_t db = 0;
    int32_t status = SyncOpenDB(kDatabaseName, 0, &db, kOpenMode);
    if (status != 0) {
        LogError("SyncOpenDB failed");
        return status;
    }
    status = ExportToTempFile(db, temp);
    if (status == 0) status = ReplaceDesktopFile(temp, target);
    if (status == 0) TidyHandheld(db);
    return FirstFailure(status, CloseDatabase(db));
}

int32_t CopyDesktopToHandheld(const SyncProperties *properties) {
    DesktopPath source;
    if (!BuildDesktopPath(properties, kDesktopFileName, source)) return kConduitErrDesktopFile;

    uint8_t db = 0;
    int32_t status = OpenOrCreateDatabase(&db);
    if (status != 0) return status;

    // Binary: a text stream on Windows would end the list at the first Ctrl-Z
    // byte, and every camera after it would be lost. The reader takes CR LF
    // line ends itself.
    FILE *in = std::fopen(source, "rb");
    if (in == nullptr) {
        LogAddFormattedEntry(kLogActivityError, 0, "%s was not there: Synced Stopped", source);
        return CloseDatabase(db);
    }
    status = SyncPurgeAllRecs(db);
    if (status != 0)
        LogError("SyncPurgeAllRecs failed");
    else
        status = ImportRecords(db, in);
    std::fclose(in);
    return FirstFailure(status, CloseDatabase(db));
}
