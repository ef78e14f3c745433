// The line reader on arbitrary bytes, read as a whole Cameras.txt: every
// record it returns keeps the widths and allowed values and is the record the
// line rules predict; each one written with the line writer is one line as
// predicted, and reads back as predicted.
//
// Input: the file's bytes. An input whose first byte is 0xC0 or more instead
// puts 65999 - (first byte & 0x3F) copies of its second byte (a line feed
// becomes 'a') in front of the rest, so the first read stops within the
// fuzzed bytes that follow: long lines and their pieces are reached without
// 64 KiB inputs.
#include <string>
#include <vector>

#include "camera_record.h"
#include "line_io.h"
#include "rules.h"

namespace {

std::string FileBytes(const uint8_t *data, size_t size) {
    if (size >= 2 && data[0] >= 0xC0) {
        const char fill = data[1] == '\n' ? 'a' : static_cast<char>(data[1]);
        std::string bytes(rules::kPieceSize - (data[0] & 0x3F), fill);
        bytes.append(reinterpret_cast<const char *>(data) + 2, size - 2);
        return bytes;
    }
    return std::string(reinterpret_cast<const char *>(data), size);
}

// The record as the export builds it from these columns.
CameraRecord *Built(const rules::Columns &columns) {
    CameraRecord *built = new CameraRecord();
    for (size_t i = 0; i < rules::kColumns; ++i)
        built->*kCameraColumns[i] = CopyColumnText(columns[i].data(), columns[i].size());
    return built;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes = FileBytes(data, size);
    const std::vector<rules::Columns> expected = rules::ReadFile(bytes);
    const std::vector<rules::Columns> got = ReadRecords(bytes);
    FUZZ_CHECK(got.size() == expected.size(),
               "read " + std::to_string(got.size()) + " records, want " + std::to_string(expected.size()));
    for (size_t n = 0; n < got.size(); ++n) {
        const std::string violation = rules::TableViolation(got[n]);
        FUZZ_CHECK(violation.empty(), "record " + std::to_string(n) + ": " + violation);
        FUZZ_CHECK(got[n] == expected[n],
                   "record " + std::to_string(n) + ": " + rules::Difference(got[n], expected[n]));
        CameraRecord *built = Built(got[n]);
        CheckWriteAndReadBack(built);
        FreeCameraRecord(built);
    }
    return 0;
}
