// The stand-in handheld's .pdb reader on arbitrary files. A refused file is
// refused as corrupt and leaves the target alone; an accepted one holds
// exactly what its header and entry list say, read from inside the file (a
// heap block of exactly the file's size), and comes back unchanged through
// the writer and the reader again.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pdb.h"
#include "rules.h"
#include "standin.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Get32(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool SameDatabase(const PdbDatabase &a, const PdbDatabase &b) {
    if (std::memcmp(a.name, b.name, kPdbNameSize) != 0) return false;
    if (a.attributes != b.attributes || a.version != b.version || a.creationDate != b.creationDate ||
        a.modificationDate != b.modificationDate || a.backupDate != b.backupDate ||
        a.modificationNumber != b.modificationNumber || a.type != b.type || a.creator != b.creator ||
        a.uniqueIdSeed != b.uniqueIdSeed || a.appInfo != b.appInfo || a.sortInfo != b.sortInfo ||
        a.records.size() != b.records.size())
        return false;
    for (size_t i = 0; i < a.records.size(); ++i) {
        const PdbRecord &x = a.records[i], &y = b.records[i];
        if (x.attributes != y.attributes || x.uniqueId != y.uniqueId || x.body != y.body) return false;
    }
    return true;
}

// What the header and entry list of an accepted file say, read here on their own.
void CheckAgainstTheFile(const uint8_t *data, size_t size, const PdbDatabase &db) {
    FUZZ_CHECK(size >= kPdbHeaderSize, "accepted a file shorter than a header");
    FUZZ_CHECK(std::memchr(data, 0, kPdbNameSize) != nullptr, "accepted a name without NUL");
    FUZZ_CHECK(std::memcmp(db.name, data, kPdbNameSize) == 0, "name differs from the file's");
    FUZZ_CHECK((data[33] & 0x01) == 0, "accepted a resource database");
    const size_t count = size_t{data[76]} << 8 | data[77];
    FUZZ_CHECK(db.records.size() == count, "record count differs from the header's");
    FUZZ_CHECK(kPdbHeaderSize + count * kPdbEntrySize <= size, "accepted an entry list past the end");
    size_t total = db.appInfo.size() + db.sortInfo.size();
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *entry = data + kPdbHeaderSize + i * kPdbEntrySize;
        const size_t begin = Get32(entry);
        const size_t end = i + 1 < count ? Get32(entry + kPdbEntrySize) : size;
        FUZZ_CHECK(begin >= kPdbHeaderSize + count * kPdbEntrySize && begin <= end && end <= size,
                   "record " + std::to_string(i) + " lies outside the file or overlaps another");
        const PdbRecord &r = db.records[i];
        FUZZ_CHECK(r.body.size() == end - begin &&
                       (begin == end || std::memcmp(r.body.data(), data + begin, end - begin) == 0),
                   "record " + std::to_string(i) + " body is not the file's bytes");
        FUZZ_CHECK(r.attributes == entry[4], "record attributes");
        FUZZ_CHECK(r.uniqueId == (uint32_t{entry[5]} << 16 | uint32_t{entry[6]} << 8 | entry[7]), "unique ID");
        total += r.body.size();
    }
    FUZZ_CHECK(total <= size, "the blocks add up to more than the file");
}

void CheckRoundTrip(const PdbDatabase &db) {
    Bytes image;
    FUZZ_CHECK(PdbSerialize(db, &image) == 0, "an accepted database cannot be written");
    FUZZ_CHECK(image.size() == PdbFileSize(db), "the written size is not PdbFileSize");
    PdbDatabase again;
    FUZZ_CHECK(PdbParse(image.data(), image.size(), &again) == 0, "the written file is refused");
    FUZZ_CHECK(SameDatabase(db, again), "the written file reads back different");
    Bytes second;
    FUZZ_CHECK(PdbSerialize(again, &second) == 0 && second == image, "writing is not stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size]);
    if (size != 0) std::memcpy(exact.get(), data, size);
    PdbDatabase db;
    std::strcpy(db.name, "untouched");
    const int32_t status = PdbParse(exact.get(), size, &db);
    if (status != 0) {
        FUZZ_CHECK(status == kStandinErrCorrupt, "status " + std::to_string(status));
        FUZZ_CHECK(PdbName(db) == "untouched" && db.records.empty(), "a refused file changed the target");
        return 0;
    }
    CheckAgainstTheFile(exact.get(), size, db);
    CheckRoundTrip(db);
    return 0;
}
