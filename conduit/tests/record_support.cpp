#include "record_support.h"

#include <cstring>

char *Dup(const std::string &text) {
    char *copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

RecordPtr MakeRecord(const OptionalColumns &columns) {
    RecordPtr record(new CameraRecord(), &FreeCameraRecord);
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        if (columns[i]) record.get()->*kCameraColumns[i] = Dup(*columns[i]);
    }
    return record;
}

Columns ColumnsOf(const CameraRecord *record) {
    Columns columns;
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        const char *text = record->*kCameraColumns[i];
        columns[i] = text ? text : "<null>";
    }
    return columns;
}

std::string FileBytes(FILE *file) {
    std::rewind(file);
    std::string bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    return bytes;
}
