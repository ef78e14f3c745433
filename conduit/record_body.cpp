// The handheld record body: column1..column11, each followed by a NUL.
#include <cstdint>
#include <cstring>

#include "camera_record.h"

namespace {

size_t TextLength(const char *text) {
    return text ? std::strlen(text) : 0;
}

// The body size; each column's length goes to `lengths`, so that packing
// measures every text once.
size_t BodySize(const CameraRecord *record, size_t lengths[kBodyColumnCount]) {
    size_t size = 0;
    for (size_t i = 0; i < kBodyColumnCount; ++i) {
        lengths[i] = TextLength(record->*kCameraColumns[i]);
        size += lengths[i] + 1;
    }
    return size;
}

// The column's text starting at `offset`: up to its NUL, else up to the end.
// Returns the offset of the next column.
size_t TakeColumn(const char *body, size_t size, size_t offset, char **column) {
    if (offset >= size) {
        *column = CopyColumnText("", 0);
        return size;
    }
    const char *start = body + offset;
    const void *nul = std::memchr(start, '\0', size - offset);
    size_t length = nul ? static_cast<const char *>(nul) - start : size - offset;
    *column = CopyColumnText(start, length);
    return nul ? offset + length + 1 : size;
}

}  // namespace

int32_t PackCameraRecord(char *buffer, size_t capacity, const CameraRecord *record) {
    size_t lengths[kBodyColumnCount];
    size_t size = BodySize(record, lengths);
    if (size > capacity || size > INT32_MAX) return 0;
    char *out = buffer;
    for (size_t i = 0; i < kBodyColumnCount; ++i) {
        const size_t length = lengths[i];
        if (length > 0) std::memcpy(out, record->*kCameraColumns[i], length);
        out[length] = '\0';
        out += length + 1;
    }
    return static_cast<int32_t>(size);
}

CameraRecord *UnpackCameraRecord(const char *body, size_t size) {
    CameraRecord *record = new CameraRecord();
    size_t offset = 0;
    for (size_t i = 0; i < kBodyColumnCount; ++i) {
        offset = TakeColumn(body, size, offset, &(record->*kCameraColumns[i]));
    }
    record->privateFlag = CopyColumnText("N", 1);
    record->modifiedFlag = CopyColumnText("N", 1);
    record->deletedFlag = CopyColumnText("N", 1);
    return record;
}

void SetCategoryText(int16_t category, CameraRecord *record) {
    const char *text = category >= 1 && category < kCategoryTextCount ? kCategoryTexts[category]
                                                                       : kCategoryTexts[0];
    delete[] record->category;
    record->category = CopyColumnText(text, std::strlen(text));
}
