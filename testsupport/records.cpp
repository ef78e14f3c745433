#include "records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform.h"

std::string Body(const std::vector<std::string> &columns) {
    std::string body;
    for (size_t i = 0; i < 11; ++i) {
        if (i < columns.size()) body += columns[i];
        body.push_back('\0');
    }
    return body;
}

std::vector<uint8_t> BodyBytes(const std::vector<std::string> &columns) {
    const std::string body = Body(columns);
    return std::vector<uint8_t>(body.begin(), body.end());
}

std::string CameraLine(const std::vector<std::string> &columns) {
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) line += (i ? "\t" : "") + columns[i];
    return line + "\n";
}

std::vector<std::string> Camera(const std::string &name, const std::string &privateFlag,
                                const std::string &category, const std::string &deletedFlag) {
    return {name, "Maker of " + name, "SLR", "1970", "1980", "A note on " + name, "35mm",
            "M42", "100", "1", "7", privateFlag, category, "N", deletedFlag};
}

std::string Pattern(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed * 131 + i * 7 + (i >> 8));
    return bytes;
}

int32_t CreateDatabase(const std::string &name, uint8_t *handle, uint32_t flags) {
    SyncCreateRequest request{};
    request.creator = kLenfolCreator;
    request.dbType = kLenfolType;
    request.dbFlags = flags;
    std::memcpy(request.name, name.data(), std::min(name.size(), sizeof request.name));
    const int32_t status = SyncCreateDB(&request);
    *handle = request.dbHandle;
    return status;
}

int32_t WriteRecord(uint8_t db, uint8_t attributes, int16_t category, const std::string &body,
                    uint32_t *id, uint32_t recordId) {
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.recordId = recordId;
    request.attributes = attributes;
    request.category = category;
    request.recordSize = static_cast<uint32_t>(body.size());
    request.buffer = const_cast<char *>(body.data());
    const int32_t status = SyncWriteRec(&request);
    if (id != nullptr) *id = request.recordId;
    return status;
}

ReadResult ReadRecord(uint8_t db, uint16_t index, uint16_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1u, '#');
    SyncRecordRequest request{};
    request.dbHandle = db;
    request.recordIndex = index;
    request.bufferSize = bufferSize;
    request.buffer = buffer.data();
    ReadResult r;
    r.status = SyncReadRecordByIndex(&request);
    r.id = request.recordId;
    r.attributes = request.attributes;
    r.category = request.category;
    r.size = request.recordSize;
    const size_t copied = std::min<size_t>(r.size, bufferSize);
    r.body.assign(buffer.data(), copied);
    EXPECT_EQ(buffer[copied], '#') << "read wrote past the body";
    return r;
}
