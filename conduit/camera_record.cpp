// The camera record and its line in Cameras.txt.
#include "camera_record.h"

#include <cstring>

char LineBuffer[kLineBufferSize];

char *CameraRecord::*const kCameraColumns[kCameraColumnCount] = {
    &CameraRecord::column1,     &CameraRecord::column2,      &CameraRecord::column3,
    &CameraRecord::column4,     &CameraRecord::column5,      &CameraRecord::column6,
    &CameraRecord::column7,     &CameraRecord::column8,      &CameraRecord::column9,
    &CameraRecord::column10,    &CameraRecord::column11,     &CameraRecord::privateFlag,
    &CameraRecord::category,    &CameraRecord::modifiedFlag, &CameraRecord::deletedFlag,
};

constexpr size_t kCameraColumnWidths[kCameraColumnCount] = {45, 45, 30, 4,  4, 1024, 10, 10,
                                                            10, 1,  4,  1, 2, 1,    1};

const char *const kCategoryTexts[kCategoryTextCount] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15",
};

namespace {
const char *const kColumn10Texts[] = {"0", "1"};
const char *const kColumn11Texts[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "None"};
const char *const kFlagTexts[] = {"Y", "N"};
}  // namespace

const CameraColumnRule kCameraColumnRules[kCameraColumnCount] = {
    {"column1", nullptr, 0, nullptr, true, ""},
    {"column2", nullptr, 0, nullptr, true, ""},
    {"column3", nullptr, 0, nullptr, false, ""},
    {"column4", nullptr, 0, nullptr, false, ""},
    {"column5", nullptr, 0, nullptr, false, ""},
    {"column6", nullptr, 0, nullptr, false, ""},
    {"column7", nullptr, 0, nullptr, false, ""},
    {"column8", nullptr, 0, nullptr, false, ""},
    {"column9", nullptr, 0, nullptr, false, ""},
    {"column10", kColumn10Texts, 2, "0", true, ""},
    {"column11", kColumn11Texts, 11, "None", true, ""},
    {"privateFlag", kFlagTexts, 2, "N", true, "N"},
    {"category", kCategoryTexts, kCategoryTextCount, "0", true, "0"},
    {"modifiedFlag", kFlagTexts, 2, "N", true, "N"},
    {"deletedFlag", kFlagTexts, 2, "N", true, "N"},
};

namespace {

constexpr size_t LongestLine() {
    size_t bytes = kCameraColumnCount;  // fourteen TABs and the line feed
    for (size_t width : kCameraColumnWidths) bytes += width;
    return bytes;
}
static_assert(LongestLine() < kLineBufferSize, "a written line must fit in LineBuffer");

struct Span {
    const char *text;
    size_t length;
};

// A line read through a Windows text stream ends in a bare LF; a line split
// after its CR would otherwise leave that CR in one piece and an empty line in
// the next. Called when fgets filled the buffer and its last byte is the CR.
void JoinSplitCrLf(FILE *file) {
    int next = std::getc(file);
    if (next == '\n') {
        LineBuffer[kLineBufferSize - 2] = '\n';
    } else if (next != EOF) {
        std::ungetc(next, file);
    }
}

// Old editors end a text file with a Ctrl-Z byte. Only at the end of the
// file's last line (as far as a NUL lets the line be read) is it an end
// mark; anywhere else it is part of a line.
const char kEndMark = '\x1A';

// Drops an end mark that ends the file from the line just read (a line that
// ends in its LF cannot end in one). False when nothing of the line is left.
bool DropEndMark(FILE *file) {
    size_t length = std::strlen(LineBuffer);
    if (length == 0 || LineBuffer[length - 1] != kEndMark) return true;
    int next = std::getc(file);
    if (next != EOF) {
        std::ungetc(next, file);
        return true;
    }
    LineBuffer[length - 1] = '\0';
    return length > 1;
}

bool ReadLineIntoBuffer(FILE *file) {
    // Only a read that fills the buffer writes this byte.
    LineBuffer[kLineBufferSize - 2] = '\0';
    if (!std::fgets(LineBuffer, kLineBufferSize, file)) return false;
    if (LineBuffer[kLineBufferSize - 2] == '\r') JoinSplitCrLf(file);
    return DropEndMark(file);
}

// Bytes of the line in LineBuffer that hold columns: up to its first NUL,
// less its line end (LF or CR LF). fgets stops after the first LF, so an LF
// can only be the last byte; a CR not followed by LF is an ordinary byte.
size_t LineLength() {
    size_t length = std::strlen(LineBuffer);
    if (length > 0 && LineBuffer[length - 1] == '\n') {
        --length;
        if (length > 0 && LineBuffer[length - 1] == '\r') --length;
    }
    return length;
}

// The raw (uncut) span of each column of the line in LineBuffer. The line is
// cut at its TABs with memchr rather than byte by byte: it is the reader's
// hottest loop.
void SplitLine(Span spans[kCameraColumnCount]) {
    for (size_t i = 0; i < kCameraColumnCount; ++i) spans[i] = Span{LineBuffer, 0};
    const char *p = LineBuffer;
    const char *const end = LineBuffer + LineLength();
    for (size_t column = 0; column < kCameraColumnCount; ++column) {
        const char *tab = static_cast<const char *>(std::memchr(p, '\t', end - p));
        spans[column] = Span{p, static_cast<size_t>((tab ? tab : end) - p)};
        if (!tab) break;
        p = tab + 1;
    }
}

// A span holds no NUL, so a shorter value differs at its terminator.
bool Matches(const char *value, const Span &span) {
    size_t i = 0;
    for (; i < span.length; ++i) {
        if (value[i] != span.text[i]) return false;
    }
    return value[i] == '\0';
}

bool IsAllowed(const Span &span, const CameraColumnRule &rule) {
    for (size_t i = 0; i < rule.allowedCount; ++i) {
        if (Matches(rule.allowed[i], span)) return true;
    }
    return false;
}

// Cuts the span to its width, then replaces a coded column's invalid value.
Span ReadValue(Span span, size_t column) {
    const CameraColumnRule &rule = kCameraColumnRules[column];
    if (span.length > kCameraColumnWidths[column]) span.length = kCameraColumnWidths[column];
    if (rule.allowed && !IsAllowed(span, rule)) {
        span = Span{rule.invalidText, std::strlen(rule.invalidText)};
    }
    return span;
}

bool BreaksLine(char byte) {
    return byte == '\t' || byte == '\r' || byte == '\n';
}

// Appends one column as the writer writes it and returns the new end.
char *AppendColumn(char *out, const char *text, size_t column) {
    const CameraColumnRule &rule = kCameraColumnRules[column];
    if (!text) text = rule.unsetText;
    // strnlen, not a loop of our own: it runs over every byte of an export.
    size_t length = strnlen(text, kCameraColumnWidths[column]);
    if (length == 0 && rule.spaceWhenEmpty) {
        *out++ = ' ';
        return out;
    }
    for (size_t i = 0; i < length; ++i) *out++ = BreaksLine(text[i]) ? ' ' : text[i];
    return out;
}

}  // namespace

char *CopyColumnText(const char *text, size_t length) {
    char *copy = new char[length + 1];
    if (length > 0) std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void FreeCameraRecord(CameraRecord *record) {
    if (!record) return;
    for (char *CameraRecord::*column : kCameraColumns) delete[] (record->*column);
    delete record;
}

CameraRecord *ReadCameraFromFile(FILE *file) {
    if (!ReadLineIntoBuffer(file)) return nullptr;
    Span spans[kCameraColumnCount];
    SplitLine(spans);
    CameraRecord *record = new CameraRecord();
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        Span value = ReadValue(spans[i], i);
        record->*kCameraColumns[i] = CopyColumnText(value.text, value.length);
    }
    return record;
}

int32_t WriteCustomerToFile(FILE *file, const CameraRecord *record) {
    char *out = LineBuffer;
    for (size_t i = 0; i < kCameraColumnCount; ++i) {
        out = AppendColumn(out, record->*kCameraColumns[i], i);
        *out++ = i + 1 < kCameraColumnCount ? '\t' : '\n';
    }
    *out = '\0';
    int result = std::fprintf(file, "%s", LineBuffer);
    return result >= 0 ? 0 : result;
}
