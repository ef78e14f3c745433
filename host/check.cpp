// check: reads a Cameras.txt with the conduit's own reader, writes each camera
// back with its writer, and reports, by line and column, everything the
// conduit would read differently from what the file says. The verdict is the
// reader's and the writer's: the file passes when every camera read from it is
// written back as the same line (CR LF line ends and a missing last line feed
// aside, which the conduit's text stream treats the same). The words come
// from comparing the file with what they report, named by the conduit's
// column tables: check itself cuts, replaces or drops nothing.
#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "camera_record.h"
#include "host.h"
#include "host_os.h"
#include "os.h"
#include "standin.h"
#include "trace.h"

namespace host {

namespace {

bool IsNumber(const char *text, long long *value) {
    return standin::ParseInteger(text, 10, INT_MIN, INT_MAX, value);
}

// The allowed values in words: runs of three or more consecutive numbers as
// "a to b", the last item after "or" ("1 to 10 or None", "Y or N").
std::string AllowedText(const CameraColumnRule &rule) {
    std::vector<std::string> items;
    for (size_t i = 0; i < rule.allowedCount;) {
        long long first = 0, next = 0;
        size_t end = i + 1;
        if (IsNumber(rule.allowed[i], &first)) {
            while (end < rule.allowedCount && IsNumber(rule.allowed[end], &next) &&
                   next == first + static_cast<long long>(end - i))
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

// A line as an editor shows it: without the LF or CR LF that ends it.
std::string WithoutLineEnd(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    return text;
}

// One call of the conduit's reader.
struct Read {
    size_t start = 0;  // it took the bytes [start, end) of the file
    size_t end = 0;
    std::string seen;  // the line its columns were taken from (LineBuffer after it)
    bool camera = false;
    std::vector<std::string> columns;  // the camera it made, when it made one
    std::string written;               // that camera as the writer writes it, without the LF
};

// Every read of the conduit's reader over the file, opened in binary as the
// conduit opens it, and every camera written back with the conduit's writer.
// False when the file cannot be read.
bool ReadCameras(const std::string &path, std::vector<Read> *reads) {
    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    os::ScratchStream *scratch = os::OpenScratchStream();
    if (!scratch) {
        std::fclose(in);
        return false;
    }
    FILE *out = os::ScratchFile(scratch);
    bool failed = false;
    size_t cameras = 0;
    for (;;) {
        Read read;
        read.start = static_cast<size_t>(std::ftell(in));
        CameraRecord *record = ReadCameraFromFile(in);
        read.end = static_cast<size_t>(std::ftell(in));
        if (!record && (read.end == read.start || std::ferror(in))) break;
        read.seen = LineBuffer;
        read.camera = record != nullptr;
        if (record) {
            for (char *CameraRecord::*column : kCameraColumns) read.columns.push_back(record->*column);
            failed = failed || WriteCustomerToFile(out, record) != 0;
            FreeCameraRecord(record);
            ++cameras;
        }
        reads->push_back(std::move(read));
        if (!record) break;
    }
    failed = failed || std::ferror(in) != 0;
    std::fclose(in);
    std::string written;
    failed = !os::CloseScratchStream(scratch, &written) || failed;
    // The writer writes each camera as one line.
    std::vector<std::string> lines = standin::Split(written, '\n');
    if (failed || lines.size() != cameras + 1) return false;
    size_t next = 0;
    for (Read &read : *reads) {
        if (read.camera) read.written = lines[next++];
    }
    return true;
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

// The bytes a read took beyond those it saw (`seen` of them): the rest of a
// line behind a NUL, or an end mark that ends the file.
void ExplainUnseen(Report *report, size_t line, const std::string &part,
                   const std::string &taken, size_t seen) {
    const size_t nul = taken.find('\0', seen);
    if (nul != std::string::npos) {
        Change(report, line, part,
               "column " + std::to_string(ColumnAt(taken, nul) + 1) + ": NUL byte at byte " +
                   std::to_string(nul + 1) + "; the rest of the line is ignored");
    } else {
        Note(report, line, part,
             Quoted(taken.substr(seen)) +
                 " at the end of the file is an end mark, not text: it is not read and not "
                 "written back");
    }
}

// A CR the reader kept in a column that the writer wrote as something else.
void ExplainCarriageReturns(Report *report, size_t line, const std::string &part,
                            const std::vector<std::string> &fields, const Read &read,
                            const std::vector<std::string> &written) {
    size_t offset = 0;
    for (size_t i = 0; i < fields.size() && i < kCameraColumnCount; ++i) {
        const std::string &column = read.columns[i];
        for (size_t k = 0; k < column.size() && k < written[i].size(); ++k) {
            if (column[k] != '\r' || written[i][k] != ' ') continue;
            Change(report, line, part,
                   ColumnLabel(i) + ": carriage return without a line feed at byte " +
                       std::to_string(offset + k + 1) + "; written back as a space");
        }
        offset += fields[i].size() + 1;
    }
}

// One column: `value` as the file has it, `read` as the reader made it,
// `written` as the writer writes it back.
void ExplainColumn(Report *report, size_t line, const std::string &part, size_t column,
                   const std::string &value, const std::string &read, const std::string &written) {
    const size_t width = kCameraColumnWidths[column];
    const CameraColumnRule &rule = kCameraColumnRules[column];
    const std::string cut = value.substr(0, width);
    if (read != value && cut != value) {
        Change(report, line, part,
               ColumnLabel(column) + ": longer than " + std::to_string(width) +
                   (width == 1 ? " byte" : " bytes") + "; cut to " + Quoted(cut));
    }
    if (read != cut && rule.allowed) {
        Change(report, line, part,
               ColumnLabel(column) + ": " + Quoted(cut) + " is not " + AllowedText(rule) +
                   "; reads as " + Quoted(read));
    }
    if (read.empty() && written == " ") {
        Change(report, line, part, ColumnLabel(column) + ": empty; written back as one space");
    }
    if (column == kDeletedFlagColumn && read == "Y") {
        Note(report, line, part, "marked deleted (deletedFlag Y): not copied to the handheld");
    }
}

// One read of a line: what the file holds there against what the reader made
// of it and the writer writes back.
void ExplainRead(Report *report, size_t line, const std::string &part, const std::string &content,
                 const Read &read) {
    const size_t changes = report->changes;
    const std::string taken = WithoutLineEnd(content.substr(read.start, read.end - read.start));
    const std::string text = WithoutLineEnd(read.seen);
    if (text.size() < taken.size()) ExplainUnseen(report, line, part, taken, text.size());
    if (!read.camera) return;
    const std::vector<std::string> fields = standin::Split(text, '\t');
    const std::vector<std::string> written = standin::Split(read.written, '\t');
    ExplainCarriageReturns(report, line, part, fields, read, written);
    if (HoldsUtf8(text)) {
        Note(report, line, part,
             "holds UTF-8 byte sequences; the text is Windows-1252, so each such letter shows "
             "as two or more characters on the handheld");
    }
    CheckColumnCount(report, line, part, fields);
    if (text.empty()) return;
    for (size_t i = 0; i < fields.size() && i < kCameraColumnCount; ++i) {
        ExplainColumn(report, line, part, i, fields[i], read.columns[i], written[i]);
    }
    if (report->changes == changes && read.written != text) {
        Change(report, line, part, "reads back differently");
    }
}

// One line of the file and the reads that took it: more than one when it is
// longer than one read takes. Returns the cameras read from it.
size_t ExplainLine(Report *report, size_t line, const std::string &content, const Read *reads,
                   size_t count) {
    size_t cameras = 0;
    for (size_t i = 0; i < count; ++i) cameras += reads[i].camera;
    if (count > 1) {
        size_t bytes = reads[count - 1].end - reads[0].start;
        if (content[reads[count - 1].end - 1] == '\n') --bytes;
        Change(report, line, "",
               std::to_string(bytes) + " bytes long; one read takes at most " +
                   std::to_string(kLineBufferSize - 2) +  // LineBuffer less LF and NUL
                   " bytes and the line feed, so it reads as " + std::to_string(cameras) +
                   " cameras");
    }
    for (size_t i = 0; i < count; ++i) {
        std::string part = count > 1 ? " (part " + std::to_string(i + 1) + " of " +
                                           std::to_string(count) + ")"
                                     : "";
        ExplainRead(report, line, part, content, reads[i]);
    }
    return cameras;
}

}  // namespace

int RunCheck(const std::string &file) {
    std::string content;
    int status = standin::os::ReadAll(file, &content);
    if (status == kStandinErrNotFound) return Error("no file " + file);
    if (status != 0) return Error("cannot read " + file);
    std::vector<Read> reads;
    if (!ReadCameras(file, &reads)) return Error("cannot read " + file);
    if ((reads.empty() ? 0 : reads.back().end) != content.size()) {
        return Error(file + " changed while it was read");
    }

    Report report;
    report.file = file;
    size_t lines = 0;
    size_t cameras = 0;
    for (size_t first = 0; first < reads.size();) {
        // A line's last read is the one that takes its line feed.
        size_t end = first + 1;
        while (end < reads.size() && content[reads[end - 1].end - 1] != '\n') ++end;
        cameras += ExplainLine(&report, ++lines, content, &reads[first], end - first);
        first = end;
    }
    std::printf("%s: %zu line(s), %zu camera(s); %s\n", file.c_str(), lines, cameras,
                report.changes == 0
                    ? "reads back unchanged"
                    : (std::to_string(report.changes) + " problem(s): it would not read back unchanged")
                          .c_str());
    return report.changes == 0 ? kExitOk : kExitFailed;
}

}  // namespace host
