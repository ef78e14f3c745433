#include "rules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "camera_record.h"

namespace rules {

const size_t kWidth[kColumns] = {45, 45, 30, 4, 4, 1024, 10, 10, 10, 1, 4, 1, 2, 1, 1};

std::vector<std::string> Allowed(size_t column) {
    switch (column) {
    case 9:
        return {"0", "1"};
    case 10:
        return {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "None"};
    case kPrivateFlag:
    case kModifiedFlag:
    case kDeletedFlag:
        return {"Y", "N"};
    case kCategory: {
        std::vector<std::string> values;
        for (int n = 0; n <= 15; ++n) values.push_back(std::to_string(n));
        return values;
    }
    default:
        return {};
    }
}

namespace {

// An empty column of least written width 1 is written as one space.
const bool kSpaceWhenEmpty[kColumns] = {true,  true,  false, false, false, false, false, false,
                                        false, true,  true,  true,  true,  true,  true};
const char *const kUnsetText[kColumns] = {"", "", "", "", "", "", "", "", "", "", "", "N", "0", "N", "N"};
const char *const kInvalidText[kColumns] = {"", "", "", "", "", "", "", "", "", "0", "None", "N", "0", "N", "N"};

bool IsAllowed(const std::string &value, size_t column) {
    const std::vector<std::string> allowed = Allowed(column);
    return allowed.empty() || std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// One read: up to and including the first line feed, at most kPieceSize
// bytes. A full piece that ends in CR takes the LF after it along, as the
// line end the CR began.
std::string NextPiece(const std::string &bytes, size_t *pos) {
    const size_t start = *pos;
    const size_t limit = std::min(bytes.size(), start + kPieceSize);
    const size_t lf = bytes.find('\n', start);
    const size_t end = lf != std::string::npos && lf < limit ? lf + 1 : limit;
    std::string piece = bytes.substr(start, end - start);
    *pos = end;
    if (piece.size() == kPieceSize && piece.back() == '\r' && *pos < bytes.size() &&
        bytes[*pos] == '\n') {
        piece.back() = '\n';
        ++*pos;
    }
    return piece;
}

// The text of a piece: up to a NUL, without its LF or CR LF end.
std::string LineText(std::string piece) {
    piece = piece.substr(0, piece.find('\0'));
    if (!piece.empty() && piece.back() == '\n') {
        piece.pop_back();
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
    }
    return piece;
}

Columns ParseLine(const std::string &text) {
    Columns raw;
    size_t column = 0;
    for (char byte : text) {
        if (byte == '\t') {
            ++column;
        } else if (column < kColumns) {
            raw[column] += byte;
        }
    }
    for (size_t i = 0; i < kColumns; ++i) raw[i] = ReadValue(raw[i], i);
    return raw;
}

}  // namespace

std::string ReadValue(const std::string &raw, size_t column) {
    std::string value = raw.substr(0, kWidth[column]);
    return IsAllowed(value, column) ? value : kInvalidText[column];
}

std::string TableViolation(const Columns &columns) {
    for (size_t i = 0; i < kColumns; ++i) {
        if (columns[i].size() > kWidth[i])
            return "column " + std::to_string(i + 1) + " is " + std::to_string(columns[i].size()) +
                   " bytes";
        if (!IsAllowed(columns[i], i)) return "column " + std::to_string(i + 1) + " holds " + Show(columns[i]);
    }
    return "";
}

namespace {

// The file's last piece may end in an old editor's end mark, a Ctrl-Z (what
// follows a NUL does not count): it is no text, and a piece that was only
// the mark gives no record.
bool DropEndMark(std::string *piece) {
    const size_t end = std::min(piece->size(), piece->find('\0'));
    if (end == 0 || (*piece)[end - 1] != '\x1A') return true;
    piece->erase(end - 1, 1);
    return end > 1;
}

}  // namespace

std::vector<Columns> ReadFile(const std::string &bytes) {
    std::vector<Columns> records;
    size_t pos = 0;
    while (pos < bytes.size()) {
        std::string piece = NextPiece(bytes, &pos);
        if (pos == bytes.size() && !DropEndMark(&piece)) break;
        records.push_back(ParseLine(LineText(piece)));
    }
    return records;
}

std::string WrittenValue(const std::optional<std::string> &text, size_t column) {
    std::string value = text ? text->substr(0, kWidth[column]) : kUnsetText[column];
    if (value.empty() && kSpaceWhenEmpty[column]) return " ";
    std::replace_if(value.begin(), value.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
                    ' ');
    return value;
}

std::string WrittenLine(const Record &record) {
    std::string line;
    for (size_t i = 0; i < kColumns; ++i) {
        line += WrittenValue(record[i], i);
        line += i + 1 < kColumns ? '\t' : '\n';
    }
    return line;
}

BodyColumns SplitBody(const std::string &body) {
    BodyColumns columns;
    size_t pos = 0;
    for (size_t i = 0; i < kBodyColumns && pos < body.size(); ++i) {
        const size_t nul = std::min(body.find('\0', pos), body.size());
        columns[i] = body.substr(pos, nul - pos);
        pos = nul + 1;
    }
    return columns;
}

std::string JoinBody(const BodyColumns &columns) {
    std::string body;
    for (const std::string &column : columns) {
        body += column;
        body += '\0';
    }
    return body;
}

std::string CategoryText(int16_t category) {
    return category >= 1 && category <= 15 ? std::to_string(category) : "0";
}

Record Snapshot(const CameraRecord *record) {
    Record columns;
    for (size_t i = 0; i < kColumns; ++i) {
        const char *text = record->*kCameraColumns[i];
        if (text != nullptr) columns[i] = text;
    }
    return columns;
}

Columns AllSet(const Record &record) {
    Columns columns;
    for (size_t i = 0; i < kColumns; ++i) {
        if (!record[i]) Fail("a column is not set", "column " + std::to_string(i + 1));
        columns[i] = *record[i];
    }
    return columns;
}

std::string Difference(const Columns &got, const Columns &want) {
    for (size_t i = 0; i < kColumns; ++i) {
        if (got[i] != want[i])
            return "column " + std::to_string(i + 1) + ": got " + Show(got[i]) + ", want " + Show(want[i]);
    }
    return "";
}

std::string Show(const std::string &bytes) {
    std::string out = "\"";
    const size_t shown = std::min<size_t>(bytes.size(), 200);
    for (size_t i = 0; i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    out += "\"";
    if (shown < bytes.size()) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

void Fail(const char *what, const std::string &detail) {
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace rules
