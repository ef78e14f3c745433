#include "line_io.h"

#include <cstdio>
#include <cstdlib>

std::string WriteLine(const CameraRecord *record) {
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

std::vector<rules::Columns> ReadRecords(std::string bytes) {
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

void CheckWriteAndReadBack(const CameraRecord *record) {
    const rules::Record written = rules::Snapshot(record);
    const std::string line = WriteLine(record);
    const std::string want = rules::WrittenLine(written);
    FUZZ_CHECK(line == want, "wrote " + rules::Show(line) + "\nwant  " + rules::Show(want));

    const std::vector<rules::Columns> back = ReadRecords(line);
    FUZZ_CHECK(back.size() == 1, "a written line read back as " + std::to_string(back.size()) + " records");
    rules::Columns expected;
    for (size_t i = 0; i < rules::kColumns; ++i)
        expected[i] = rules::ReadValue(rules::WrittenValue(written[i], i), i);
    FUZZ_CHECK(back[0] == expected, rules::Difference(back[0], expected));
    const std::string violation = rules::TableViolation(back[0]);
    FUZZ_CHECK(violation.empty(), violation);
}
