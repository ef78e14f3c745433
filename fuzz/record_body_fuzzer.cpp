// The body unpacker on arbitrary bodies of arbitrary sizes, as the export
// uses it: unpack, set the private flag and the category, write the line,
// read it back. Checks the unpacked columns, that the unpacker reads nothing
// past the body (the body lies in a heap block of exactly its size), the
// packed form, the written line and the record read back.
//
// Input: two bytes of category number (big-endian, signed), one control
// byte, then the body.
//   control 0x01  the record is secret: privateFlag "Y"
//   control 0x02  the category is left unset (the writer writes "0")
//   control 0x04  column (3 + control >> 4 % 7) is unset, as a record from
//                 another source may have it
//   control 0x08  the body is stretched to the largest a read delivers
//                 (65535 bytes) by repeating its last byte
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "camera_record.h"
#include "line_io.h"
#include "rules.h"

namespace {

struct Input {
    int16_t category = 0;
    uint8_t control = 0;
    std::string body;
};

Input Decode(const uint8_t *data, size_t size) {
    Input input;
    if (size < 3) return input;
    input.category = static_cast<int16_t>(static_cast<uint16_t>(data[0] << 8 | data[1]));
    input.control = data[2];
    input.body.assign(reinterpret_cast<const char *>(data) + 3, size - 3);
    if ((input.control & 0x08) && !input.body.empty() && input.body.size() < rules::kDeliveredMax)
        input.body.resize(rules::kDeliveredMax, input.body.back());
    return input;
}

CameraRecord *UnpackExact(const std::string &body) {
    std::unique_ptr<char[]> exact(new char[body.size()]);
    if (!body.empty()) std::memcpy(exact.get(), body.data(), body.size());
    return UnpackCameraRecord(exact.get(), body.size());
}

void CheckUnpacked(const rules::Record &got, const std::string &body) {
    const rules::BodyColumns want = rules::SplitBody(body);
    for (size_t i = 0; i < rules::kBodyColumns; ++i) {
        FUZZ_CHECK(got[i].has_value(), "column " + std::to_string(i + 1) + " not set");
        FUZZ_CHECK(*got[i] == want[i], "column " + std::to_string(i + 1) + ": got " + rules::Show(*got[i]) +
                                           ", want " + rules::Show(want[i]));
    }
    for (size_t flag : {rules::kPrivateFlag, rules::kModifiedFlag, rules::kDeletedFlag})
        FUZZ_CHECK(got[flag] && *got[flag] == "N", "flag column " + std::to_string(flag + 1));
    FUZZ_CHECK(!got[rules::kCategory], "category set by the unpacker");
}

// Packing gives back the body up to its eleventh NUL; an unterminated or
// short body gains the missing terminators.
void CheckPacked(const CameraRecord *record, const std::string &body) {
    std::string want = rules::JoinBody(rules::SplitBody(body));
    size_t nuls = 0, end = 0;
    while (end < body.size() && nuls < rules::kBodyColumns) nuls += body[end++] == '\0';
    if (nuls == rules::kBodyColumns)
        FUZZ_CHECK(want == body.substr(0, end), "the split does not rebuild the body");

    std::vector<char> buffer(kLineBufferSize, 'x');
    const int32_t size = PackCameraRecord(buffer.data(), buffer.size(), record);
    FUZZ_CHECK(size == static_cast<int32_t>(want.size()),
               "packed " + std::to_string(size) + " bytes, want " + std::to_string(want.size()));
    FUZZ_CHECK(std::memcmp(buffer.data(), want.data(), want.size()) == 0, "packed bytes differ");
    FUZZ_CHECK(buffer[want.size()] == 'x', "pack wrote past the body");

    std::vector<char> small(want.size() - 1, 'y');
    FUZZ_CHECK(PackCameraRecord(small.data(), small.size(), record) == 0, "pack into too small a buffer");
    FUZZ_CHECK(std::string(small.begin(), small.end()) == std::string(small.size(), 'y'),
               "a refused pack wrote to the buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const Input input = Decode(data, size);
    CameraRecord *record = UnpackExact(input.body);
    CheckUnpacked(rules::Snapshot(record), input.body);
    CheckPacked(record, input.body);

    if (input.control & 0x01) {
        delete[] record->privateFlag;
        record->privateFlag = CopyColumnText("Y", 1);
    }
    if (!(input.control & 0x02)) {
        SetCategoryText(input.category, record);
        const std::string want = rules::CategoryText(input.category);
        FUZZ_CHECK(record->category && want == record->category,
                   "category " + std::to_string(input.category) + " gave " +
                       rules::Show(record->category ? record->category : "<unset>"));
    }
    if (input.control & 0x04) {
        char *CameraRecord::*column = kCameraColumns[2 + (input.control >> 4) % 7];
        delete[] (record->*column);
        record->*column = nullptr;
    }
    CheckWriteAndReadBack(record);
    FreeCameraRecord(record);
    return 0;
}
