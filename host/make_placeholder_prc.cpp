// Writes a placeholder Lenfol.prc: a valid, empty Palm resource database of
// type 'appl' and creator 'LnFo'. The handheld application itself is not
// built here; the placeholder lets the installer queue a file that exists.
// Usage: make_placeholder_prc OUTPUT
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kHeaderSize = 78;
constexpr size_t kFillerSize = 2;
constexpr uint16_t kResourceDatabase = 0x0001;

void PutU16(uint8_t *at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

void PutFourChars(uint8_t *at, const char *text) { std::memcpy(at, text, 4); }

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_placeholder_prc OUTPUT\n");
        return 2;
    }
    uint8_t file[kHeaderSize + kFillerSize] = {};
    std::memcpy(file, "Lenfol", 6);        // name, NUL-padded to 32 bytes
    PutU16(file + 32, kResourceDatabase);  // attributes
    PutU16(file + 34, 1);                  // version
    // Dates, modification number, appInfo and sortInfo offsets stay 0.
    PutFourChars(file + 60, "appl");
    PutFourChars(file + 64, "LnFo");
    // Unique-ID seed, next record list and the record count (0) stay 0.
    FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    bool written = std::fwrite(file, sizeof file, 1, out) == 1;
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
