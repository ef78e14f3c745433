// check: reads a Cameras.txt the way the conduit will and reports, by line
// and column, everything the conduit would read differently from what the
// file says. The verdict comes from the conduit's own reader and writer: the
// file passes when every camera read from it is written back as the same
// line (CR LF line ends and a missing last line feed aside, which the
// conduit's text stream treats the same).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera_record.h"
#include "host.h"
#include "host_os.h"
#include "os.h"
#include "standin.h"

namespace host {

namespace {

// One read takes at most this many bytes, line feed included.
constexpr size_t kReadLimit = kLineBufferSize - 1;

bool Allowed(const CameraColumnRule &rule, const std::string &value) {
    for (size_t i = 0; i < rule.allowedCount; ++i) {
        if (value == rule.allowed[i]) return true;
    }
    return false;
}

bool IsNumber(const char *text, int *value) {
    char *end = nullptr;
    *value = static_cast<int>(std::strtol(text, &end, 10));
    return *text != '\0' && *end == '\0';
}

// The allowed values in words: runs of three or more consecutive numbers as
// "a to b", the last item after "or" ("1 to 10 or None", "Y or N").
std::string AllowedText(const CameraColumnRule &rule) {
    std::vector<std::string> items;
    for (size_t i = 0; i < rule.allowedCount;) {
        int first = 0, next = 0;
        size_t end = i + 1;
        if (IsNumber(rule.allowed[i], &first)) {
            while (end < rule.allowedCount && IsNumber(rule.allowed[end], &next) &&
                   next == first + static_cast<int>(end - i))
                ++end;
        }
        if (end - i >= 3) {
            items.push_back(std::string(rule.allowed[i]) + " to " + rule.allowed[end - 1]);
        } else {
            end = i + 1;
            items.push_back(rule.allowed[i]);
        }
        i = end;
    }
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    }
    return text;
}

struct Report {
    std::string file;
    size_t changes = 0;
    size_t notes = 0;
};

std::string Where(const Report &report, size_t line, const std::string &part) {
    return report.file + ":" + std::to_string(line) + part + ": ";
}

void Change(Report *report, size_t line, const std::string &part, const std::string &text) {
    std::printf("%s%s\n", Where(*report, line, part).c_str(), text.c_str());
    ++report->changes;
}

void Note(Report *report, size_t line, const std::string &part, const std::string &text) {
    std::printf("%snote: %s\n", Where(*report, line, part).c_str(), text.c_str());
    ++report->notes;
}

std::string ColumnLabel(size_t column) {
    return "column " + std::to_string(column + 1) + " (" + kCameraColumnRules[column].name + ")";
}

std::string Quoted(const std::string &text) { return "\"" + ToTerminal(text) + "\""; }

size_t ColumnAt(const std::string &text, size_t position) {
    size_t column = 0;
    for (size_t i = 0; i < position; ++i) column += text[i] == '\t';
    return column;
}

// A multi-byte UTF-8 sequence: a lead byte and its continuation bytes.
bool HoldsUtf8(const std::string &text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead >= 0xC2 && lead <= 0xDF   ? 1
                       : lead >= 0xE0 && lead <= 0xEF ? 2
                       : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                      : 0;
        if (extra == 0 || i + extra >= text.size()) continue;
        bool sequence = true;
        for (size_t k = 1; k <= extra; ++k) {
            sequence = sequence && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (sequence) return true;
    }
    return false;
}

std::vector<std::string> SplitTabs(const std::string &text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

void CheckColumn(Report *report, size_t line, const std::string &part, size_t column,
                 std::string value) {
    const size_t width = kCameraColumnWidths[column];
    if (value.size() > width) {
        value.resize(width);
        Change(report, line, part,
               ColumnLabel(column) + ": longer than " + std::to_string(width) +
                   (width == 1 ? " byte" : " bytes") + "; cut to " + Quoted(value));
    }
    const CameraColumnRule &rule = kCameraColumnRules[column];
    if (rule.allowed && !Allowed(rule, value)) {
        Change(report, line, part,
               ColumnLabel(column) + ": " + Quoted(value) + " is not " + AllowedText(rule) +
                   "; reads as \"" + rule.invalidText + "\"");
        value = rule.invalidText;
    }
    if (rule.spaceWhenEmpty && value.empty()) {
        Change(report, line, part, ColumnLabel(column) + ": empty; written back as one space");
    }
    if (column == kDeletedFlagColumn && value == "Y") {
        Note(report, line, part, "marked deleted (deletedFlag Y): not copied to the handheld");
    }
}

void CheckColumnCount(Report *report, size_t line, const std::string &part,
                      const std::vector<std::string> &fields) {
    const size_t count = fields.size();
    if (count == 1 && fields[0].empty()) {
        Change(report, line, part, "empty line; reads as a camera with every column empty");
    } else if (count < kCameraColumnCount) {
        Change(report, line, part,
               std::to_string(count) + " columns, " + std::to_string(kCameraColumnCount) +
                   " expected; columns " + std::to_string(count + 1) + " to " +
                   std::to_string(kCameraColumnCount) + " read as empty or their default");
    } else if (count > kCameraColumnCount) {
        Change(report, line, part,
               std::to_string(count) + " columns, " + std::to_string(kCameraColumnCount) +
                   " expected; everything after column " + std::to_string(kCameraColumnCount) +
                   " is ignored");
    }
}

// One piece of a line, as one read of the conduit takes it, without its line end.
void CheckPiece(Report *report, size_t line, const std::string &part, std::string text) {
    size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        Change(report, line, part,
               "column " + std::to_string(ColumnAt(text, nul) + 1) + ": NUL byte at byte " +
                   std::to_string(nul + 1) + "; the rest of the line is ignored");
        text.resize(nul);
    }
    for (size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', cr + 1)) {
        size_t column = ColumnAt(text, cr);
        if (column >= kCameraColumnCount) break;
        Change(report, line, part,
               ColumnLabel(column) + ": carriage return without a line feed at byte " +
                   std::to_string(cr + 1) + "; written back as a space");
    }
    if (HoldsUtf8(text)) {
        Note(report, line, part,
             "holds UTF-8 byte sequences; the text is Windows-1252, so each such letter shows "
             "as two or more characters on the handheld");
    }
    std::vector<std::string> fields = SplitTabs(text);
    CheckColumnCount(report, line, part, fields);
    if (text.empty()) return;
    for (size_t i = 0; i < fields.size() && i < kCameraColumnCount; ++i) {
        CheckColumn(report, line, part, i, fields[i]);
    }
}

// The pieces one line (with its line feed, if it has one) is read in.
std::vector<std::string> Pieces(const std::string &line, bool hasLineFeed) {
    std::string rest = hasLineFeed ? line + "\n" : line;
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < rest.size()) {
        size_t take = std::min(kReadLimit, rest.size() - start);
        std::string piece = rest.substr(start, take);
        start += take;
        // A CR at the end of a full read joins the LF that follows it.
        if (take == kReadLimit && piece.back() == '\r' && start < rest.size() && rest[start] == '\n') {
            piece.back() = '\n';
            ++start;
        }
        pieces.push_back(piece);
    }
    return pieces;
}

std::string WithoutLineEnd(std::string piece) {
    if (!piece.empty() && piece.back() == '\n') {
        piece.pop_back();
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
    }
    return piece;
}

void CheckLine(Report *report, size_t number, const std::string &line, bool hasLineFeed) {
    std::vector<std::string> pieces = Pieces(line, hasLineFeed);
    if (pieces.size() > 1) {
        Change(report, number, "",
               std::to_string(line.size()) + " bytes long; one read takes at most " +
                   std::to_string(kReadLimit - 1) + " bytes and the line feed, so it reads as " +
                   std::to_string(pieces.size()) + " cameras");
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::string part = pieces.size() > 1 ? " (part " + std::to_string(i + 1) + " of " +
                                                   std::to_string(pieces.size()) + ")"
                                             : "";
        CheckPiece(report, number, part, WithoutLineEnd(pieces[i]));
    }
}

// The file as the conduit's text stream would give it back: CR LF as LF and
// a line feed after the last line.
std::string Normalised(const std::string &content) {
    std::string out;
    out.reserve(content.size() + 1);
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
        out += content[i];
    }
    if (!out.empty() && out.back() != '\n') out += '\n';
    return out;
}

// Reads every camera with the conduit's reader and writes it back with its
// writer. Returns false when the file cannot be read.
bool ReadBack(const std::string &path, std::string *written, size_t *cameras) {
    FILE *in = std::fopen(path.c_str(), "r");
    if (!in) return false;
    os::ScratchStream *scratch = os::OpenScratchStream();
    if (!scratch) {
        std::fclose(in);
        return false;
    }
    FILE *out = os::ScratchFile(scratch);
    *cameras = 0;
    while (CameraRecord *record = ReadCameraFromFile(in)) {
        WriteCustomerToFile(out, record);
        FreeCameraRecord(record);
        ++*cameras;
    }
    bool readError = std::ferror(in) != 0;
    std::fclose(in);
    bool collected = os::CloseScratchStream(scratch, written);
    return !readError && collected;
}

size_t FirstDifferentLine(const std::string &a, const std::string &b) {
    size_t line = 1;
    for (size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) line += a[i] == '\n';
    return line;
}

}  // namespace

int RunCheck(const std::string &file) {
    std::string content;
    int status = standin::os::ReadAll(file, &content);
    if (status == kStandinErrNotFound) return Error("no file " + file);
    if (status != 0) return Error("cannot read " + file);
    std::string written;
    size_t cameras = 0;
    if (!ReadBack(file, &written, &cameras)) return Error("cannot read " + file);

    Report report;
    report.file = file;
    size_t lines = 0;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        bool hasLineFeed = end != std::string::npos;
        if (!hasLineFeed) end = content.size();
        CheckLine(&report, ++lines, content.substr(start, end - start), hasLineFeed);
        start = end + 1;
    }
    const std::string expected = Normalised(content);
    if (written != expected && report.changes == 0) {
        Change(&report, FirstDifferentLine(expected, written), "", "reads back differently");
    }
    std::printf("%s: %zu line(s), %zu camera(s); %s\n", file.c_str(), lines, cameras,
                report.changes == 0
                    ? "reads back unchanged"
                    : (std::to_string(report.changes) + " problem(s): it would not read back unchanged")
                          .c_str());
    return report.changes == 0 ? kExitOk : kExitFailed;
}

}  // namespace host
