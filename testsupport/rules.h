// What the fuzz targets and the unit tests compare the conduit with: the line
// and body rules, computed here on their own, in the plainest way, from
// strings. None of the conduit's functions is called here.
#ifndef LENSFOLIO_TESTSUPPORT_RULES_H
#define LENSFOLIO_TESTSUPPORT_RULES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CameraRecord;

namespace rules {

constexpr size_t kColumns = 15;
constexpr size_t kBodyColumns = 11;
// One read of a line takes at most this many bytes: the 66000-byte line
// buffer less its terminator.
constexpr size_t kPieceSize = 65999;
// The most body bytes the sync manager delivers: the request's buffer size
// field is 16 bits wide.
constexpr size_t kDeliveredMax = 65535;

constexpr size_t kPrivateFlag = 11, kCategory = 12, kModifiedFlag = 13, kDeletedFlag = 14;

extern const size_t kWidth[kColumns];

using Columns = std::array<std::string, kColumns>;
// A record as the writer may get it: a column may be not set.
using Record = std::array<std::optional<std::string>, kColumns>;
using BodyColumns = std::array<std::string, kBodyColumns>;

// The values a coded column may hold; empty for a free-text column.
std::vector<std::string> Allowed(size_t column);
// Cut to the width, then an invalid coded value replaced.
std::string ReadValue(const std::string &raw, size_t column);
// Empty when every column keeps its width and coded columns hold allowed
// values; otherwise what is wrong.
std::string TableViolation(const Columns &columns);
// Every record that reading `bytes` as Cameras.txt gives, long lines in
// pieces included.
std::vector<Columns> ReadFile(const std::string &bytes);

// One column as the writer writes it, and the whole line.
std::string WrittenValue(const std::optional<std::string> &text, size_t column);
std::string WrittenLine(const Record &record);

// The eleven strings of a body: each up to its NUL or the body's end;
// missing ones empty.
BodyColumns SplitBody(const std::string &body);
std::string JoinBody(const BodyColumns &columns);
std::string CategoryText(int16_t category);

// The record's columns as they stand; a null column is not set.
Record Snapshot(const CameraRecord *record);
Columns AllSet(const Record &record);  // aborts on a column that is not set

// Empty when equal; otherwise the first column that differs.
std::string Difference(const Columns &got, const Columns &want);

// Printable form of a byte string for failure messages.
std::string Show(const std::string &bytes);

// Prints "FUZZ CHECK FAILED: what" and the detail to standard error, then
// aborts, so libFuzzer keeps the input.
[[noreturn]] void Fail(const char *what, const std::string &detail = "");

}  // namespace rules

#define FUZZ_CHECK(condition, detail)                                                       \
    do {                                                                                     \
        if (!(condition)) ::rules::Fail(#condition " (" __FILE__ ":" FUZZ_LINE_ ")", detail); \
    } while (0)
#define FUZZ_LINE_ FUZZ_STR_(__LINE__)
#define FUZZ_STR_(x) FUZZ_STR2_(x)
#define FUZZ_STR2_(x) #x

#endif
