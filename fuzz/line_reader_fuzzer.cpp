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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camera_record.h"
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

// Writes the record with the line writer and returns the bytes written.
std::string Written(const CameraRecord *record) {
    char *buffer = nullptr;
    size_t length = 0;
    FILE *out = open_memstream(&buffer, &length);
    FUZZ_CHECK(out != nullptr, "open_memstream");
    const int32_t result = WriteCustomerToFile(out, record);
    FUZZ_CHECK(std::fclose(out) == 0, "fclose of the memory stream");
    std::string bytes(buffer, length);
    std::free(buffer);
    FUZZ_CHECK(result == 0, "WriteCustomerToFile answered " + std::to_string(result));
    return bytes;
}

// Reads `bytes` with the conduit's reader: every record, in order.
std::vector<rules::Columns> ReadAll(std::string &bytes) {
    std::vector<rules::Columns> records;
    if (bytes.empty()) return records;
    FILE *in = fmemopen(&bytes[0], bytes.size(), "r");
    FUZZ_CHECK(in != nullptr, "fmemopen");
    while (CameraRecord *record = ReadCameraFromFile(in)) {
        records.push_back(rules::AllSet(rules::Snapshot(record)));
        FreeCameraRecord(record);
    }
    FUZZ_CHECK(!std::ferror(in), "read error on a memory stream");
    std::fclose(in);
    return records;
}

void CheckWriteAndReadBack(const rules::Columns &columns) {
    rules::Record record;
    for (size_t i = 0; i < rules::kColumns; ++i) record[i] = columns[i];
    CameraRecord *built = new CameraRecord();
    for (size_t i = 0; i < rules::kColumns; ++i)
        built->*kCameraColumns[i] = CopyColumnText(columns[i].data(), columns[i].size());
    std::string line = Written(built);
    FreeCameraRecord(built);

    const std::string want = rules::WrittenLine(record);
    FUZZ_CHECK(line == want, "wrote " + rules::Show(line) + "\nwant  " + rules::Show(want));
    const std::vector<rules::Columns> back = ReadAll(line);
    FUZZ_CHECK(back.size() == 1, "a written line read back as " + std::to_string(back.size()) + " records");
    rules::Columns expected;
    for (size_t i = 0; i < rules::kColumns; ++i)
        expected[i] = rules::ReadValue(rules::WrittenValue(columns[i], i), i);
    FUZZ_CHECK(back[0] == expected, rules::Difference(back[0], expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string bytes = FileBytes(data, size);
    const std::vector<rules::Columns> expected = rules::ReadFile(bytes);
    const std::vector<rules::Columns> got = ReadAll(bytes);
    FUZZ_CHECK(got.size() == expected.size(),
               "read " + std::to_string(got.size()) + " records, want " + std::to_string(expected.size()));
    for (size_t n = 0; n < got.size(); ++n) {
        const std::string violation = rules::TableViolation(got[n]);
        FUZZ_CHECK(violation.empty(), "record " + std::to_string(n) + ": " + violation);
        FUZZ_CHECK(got[n] == expected[n],
                   "record " + std::to_string(n) + ": " + rules::Difference(got[n], expected[n]));
        CheckWriteAndReadBack(got[n]);
    }
    return 0;
}
