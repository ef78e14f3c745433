// Whole HotSyncs through OpenConduit and the stand-in, from a fuzzed
// handheld database and a fuzzed Cameras.txt, in a scratch directory of this
// process:
//   1. handheld overwrites desktop from the fuzzed LenfolDB.pdb over the
//      fuzzed Cameras.txt;
//   2. if that succeeded, desktop overwrites handheld from the file it wrote;
//   3. desktop overwrites handheld from the fuzzed Cameras.txt into the fuzzed
//      LenfolDB.pdb.
// After each run no database handle and no file descriptor is left open, and
// the log, the status, Cameras.txt and the database are what the rules
// predict: an export writes one predicted line per live record and tidies the
// handheld; an import of an exported file gives back the same live records,
// their bodies cut as the line rules cut them; a database that is missing or
// cannot be read changes nothing on the desktop.
//
// Input: a 32-bit big-endian seed, a 16-bit big-endian header, then the .pdb,
// then Cameras.txt.
//   seed             0: the kind stand-in; else its hostile mode with this seed,
//                    so the fuzzer explores the platform's choices too
//   header & 0x7FFF  length of the .pdb (cut to what the input holds); 0 means
//                    there is no LenfolDB on the handheld
//   header & 0x8000  there is no Cameras.txt on the desktop
//
// A hostile sync manager may leave the record size unreported and junk in the
// buffer after the body, so a body with fewer than eleven terminated columns
// runs on into that junk: the export's lines are then checked no further than
// the rules can predict them. The statuses it chooses in place of a failure are
// taken from the stand-in (StandinLastFailure).
#include <dirent.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "lenfol.h"
#include "pdb.h"
#include "rules.h"
#include "standin.h"

namespace {

namespace fs = std::filesystem;
using LogLines = std::vector<std::pair<int32_t, std::string>>;

constexpr int32_t kCorrupt = kStandinErrCorrupt;

struct Scratch {
    std::string root;
    std::string database;  // the handheld's LenfolDB.pdb
    std::string desktop;   // the conduit's directory, with its trailing '/'
    std::string cameras;
    std::string temp;
};

void RemoveScratch();

// Never destroyed, so RemoveScratch can use it whatever the order of exit handlers.
const Scratch &Dirs() {
    static const Scratch *scratch = [] {
        char pattern[] = "/tmp/lenfol-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern) != nullptr, "mkdtemp");
        Scratch *made = new Scratch;
        Scratch &s = *made;
        s.root = pattern;
        s.database = s.root + "/handheld/LenfolDB.pdb";
        s.desktop = s.root + "/Lenfol/";
        s.cameras = s.desktop + "Cameras.txt";
        s.temp = s.desktop + "Temp.txt";
        fs::create_directories(s.root + "/handheld");
        fs::create_directories(s.desktop);
        StandinSetHandheldDir((s.root + "/handheld").c_str());
        std::atexit(RemoveScratch);
        return made;
    }();
    return *scratch;
}

void RemoveScratch() {
    std::error_code ignored;
    fs::remove_all(Dirs().root, ignored);
}

struct Input {
    uint32_t seed = 0;
    bool hasPdb = false;
    std::string pdb;
    bool hasCameras = true;
    std::string cameras;
};

Input Decode(const uint8_t *data, size_t size) {
    Input input;
    if (size < 6) return input;
    input.seed = uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 8 | data[3];
    const size_t header = size_t{data[4]} << 8 | data[5];
    const size_t pdbLength = std::min(header & 0x7FFF, size - 6);
    const char *bytes = reinterpret_cast<const char *>(data) + 6;
    input.hasPdb = pdbLength > 0;
    input.pdb.assign(bytes, pdbLength);
    input.hasCameras = (header & 0x8000) == 0;
    input.cameras.assign(bytes + pdbLength, size - 6 - pdbLength);
    return input;
}

// ---- Files ---------------------------------------------------------------------

bool ReadBytes(const std::string &path, std::string *bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    *bytes = content.str();
    return true;
}

// Puts `bytes` at `path`, or removes the file when `present` is false.
void Place(const std::string &path, bool present, const std::string &bytes) {
    std::error_code ignored;
    fs::remove(path, ignored);
    if (!present) return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good(), "writing " + path);
}

void CheckFile(const std::string &path, bool present, const std::string &bytes, const char *what) {
    std::string now;
    const bool exists = ReadBytes(path, &now);
    FUZZ_CHECK(exists == present, std::string(what) + (exists ? " appeared" : " disappeared"));
    if (present) FUZZ_CHECK(now == bytes, std::string(what) + " changed: now " + rules::Show(now));
}

PdbDatabase LoadDatabase() {
    PdbDatabase db;
    const int32_t status = PdbLoad(Dirs().database, &db);
    FUZZ_CHECK(status == 0, "the handheld database no longer loads: " + std::to_string(status));
    return db;
}

int OpenDescriptors() {
    DIR *dir = opendir("/proc/self/fd");
    FUZZ_CHECK(dir != nullptr, "opendir /proc/self/fd");
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

// ---- One HotSync -------------------------------------------------------------------

LogLines Log() {
    LogLines lines;
    for (size_t i = 0; i < StandinLogCount(); ++i) lines.emplace_back(StandinLogActivity(i), StandinLogText(i));
    return lines;
}

std::string ShowLog(const LogLines &lines) {
    std::string out;
    for (const auto &line : lines) out += std::to_string(line.first) + " " + rules::Show(line.second) + "\n";
    return out;
}

int32_t HotSync(int32_t syncType, LogLines *log) {
    StandinClearLog();
    StandinClearFaults();
    const int descriptors = OpenDescriptors();
    SyncProperties properties{};
    properties.syncType = syncType;
    std::strcpy(properties.pathName, Dirs().desktop.c_str());
    const int32_t status = OpenConduit(nullptr, &properties);
    FUZZ_CHECK(StandinOpenDatabaseCount() == 0, "a database handle was left open");
    FUZZ_CHECK(OpenDescriptors() == descriptors, "a file was left open");
    *log = Log();
    return status;
}

LogLines Ended(LogLines middle, int32_t status) {
    middle.insert(middle.begin(), {kLogActivityStart, ""});
    middle.emplace_back(status == 0 ? kLogActivityEndSuccess : kLogActivityEndFailure, "Lenfol");
    return middle;
}

// ---- What the rules predict -----------------------------------------------------------

// The status a HotSync returns for a failure the stand-in answered with `kind`.
int32_t Answered(int32_t kind) { return StandinHostile() ? StandinLastFailure() : kind; }

struct Expected {
    uint8_t attributes;  // as stored: flags and the category nibble
    std::string body;
};

bool Live(const PdbRecord &r) { return (r.attributes & kPdbRecDeleted) == 0; }

// Whether the export's line for `r` is what the rules predict: always from a
// kind sync manager, and from a hostile one when the delivered body holds all
// its columns, so that the unpacker never reads past it.
bool Predictable(const PdbRecord &r) {
    if (!StandinHostile()) return true;
    const size_t delivered = std::min(r.body.size(), rules::kDeliveredMax);
    return static_cast<size_t>(std::count(r.body.begin(), r.body.begin() + delivered, '\0')) >=
           rules::kBodyColumns;
}

// The record the export builds from a handheld record: the delivered part of
// the body, the private flag from the secret bit, the category text.
rules::Record Exported(const PdbRecord &r) {
    const std::string delivered(r.body.begin(),
                                r.body.begin() + std::min(r.body.size(), rules::kDeliveredMax));
    const rules::BodyColumns columns = rules::SplitBody(delivered);
    rules::Record record;
    for (size_t i = 0; i < rules::kBodyColumns; ++i) record[i] = columns[i];
    record[rules::kPrivateFlag] = (r.attributes & kPdbRecSecret) ? "Y" : "N";
    record[rules::kCategory] = rules::CategoryText(r.attributes & kPdbRecCategoryMask);
    record[rules::kModifiedFlag] = "N";
    record[rules::kDeletedFlag] = "N";
    return record;
}

// The handheld record that an import makes from a record read from a line.
bool Imported(const rules::Columns &c, Expected *out) {
    if (c[rules::kDeletedFlag] == "Y") return false;
    rules::BodyColumns body;
    for (size_t i = 0; i < rules::kBodyColumns; ++i) body[i] = c[i];
    out->attributes = static_cast<uint8_t>((c[rules::kPrivateFlag] == "Y" ? kPdbRecSecret : 0) |
                                           std::stoi(c[rules::kCategory]));
    out->body = rules::JoinBody(body);
    return true;
}

void CheckRecords(const PdbDatabase &db, const std::vector<Expected> &want, const char *what) {
    FUZZ_CHECK(db.records.size() == want.size(), std::string(what) + ": " + std::to_string(db.records.size()) +
                                                     " records, want " + std::to_string(want.size()));
    for (size_t i = 0; i < want.size(); ++i) {
        const PdbRecord &r = db.records[i];
        const std::string body(r.body.begin(), r.body.end());
        FUZZ_CHECK(r.attributes == want[i].attributes,
                   std::string(what) + ": record " + std::to_string(i) + " attributes " +
                       std::to_string(r.attributes) + ", want " + std::to_string(want[i].attributes));
        FUZZ_CHECK(body == want[i].body, std::string(what) + ": record " + std::to_string(i) + " body " +
                                             rules::Show(body) + ", want " + rules::Show(want[i].body));
    }
}

// ---- The three runs ------------------------------------------------------------------

// The database could not be opened: nothing on either side changes.
void CheckRefused(int32_t status, int32_t kind, const LogLines &log, const Input &input) {
    const int32_t want = Answered(kind);
    FUZZ_CHECK(status == want && status != 0,
               "status " + std::to_string(status) + ", want " + std::to_string(want));
    FUZZ_CHECK(log == Ended({{kLogActivityError, "SyncOpenDB failed"}}, status), ShowLog(log));
    CheckFile(Dirs().cameras, input.hasCameras, input.cameras, "Cameras.txt");
    CheckFile(Dirs().database, input.hasPdb, input.pdb, "LenfolDB.pdb");
    CheckFile(Dirs().temp, false, "", "Temp.txt");
}

// Returns whether the export ran with lines the rules predict, and then what
// Cameras.txt now holds.
bool Export(const Input &input, const PdbDatabase &original, int32_t parse, std::string *written) {
    LogLines log;
    const int32_t status = HotSync(kSyncTypeHandheldToDesktop, &log);
    if (parse != 0) {
        CheckRefused(status, parse, log, input);
        return false;
    }
    FUZZ_CHECK(status == 0, "export status " + std::to_string(status));
    FUZZ_CHECK(log == Ended({}, 0), ShowLog(log));
    std::string lines;
    bool predictable = true;
    PdbDatabase tidied = original;
    tidied.records.clear();
    for (const PdbRecord &r : original.records) {
        if (!Live(r)) continue;
        predictable = predictable && Predictable(r);
        lines += rules::WrittenLine(Exported(r));
        tidied.records.push_back(r);
        tidied.records.back().attributes &= static_cast<uint8_t>(~kPdbRecDirty);
    }
    if (predictable) {
        CheckFile(Dirs().cameras, true, lines, "Cameras.txt");
    } else {
        std::string now;
        FUZZ_CHECK(ReadBytes(Dirs().cameras, &now), "Cameras.txt is missing after the export");
    }
    CheckFile(Dirs().temp, false, "", "Temp.txt");
    const PdbDatabase after = LoadDatabase();
    FUZZ_CHECK(PdbName(after) == PdbName(original) && after.type == original.type &&
                   after.creator == original.creator,
               "the export changed the database's header");
    FUZZ_CHECK(after.records.size() == tidied.records.size(), "the export did not purge exactly the deleted records");
    for (size_t i = 0; i < after.records.size(); ++i) {
        const PdbRecord &a = after.records[i], &b = tidied.records[i];
        FUZZ_CHECK(a.attributes == b.attributes && a.uniqueId == b.uniqueId && a.body == b.body,
                   "record " + std::to_string(i) + " changed in the export");
    }
    *written = lines;
    return predictable;
}

void ImportExported(const PdbDatabase &original, const std::string &written) {
    LogLines log;
    const int32_t status = HotSync(kSyncTypeDesktopToHandheld, &log);
    FUZZ_CHECK(status == 0, "import of an exported file: status " + std::to_string(status));
    FUZZ_CHECK(log == Ended({}, 0), ShowLog(log));
    std::vector<Expected> want;
    for (const PdbRecord &r : original.records) {
        if (!Live(r)) continue;
        const rules::Record exported = Exported(r);
        rules::Columns back;
        for (size_t i = 0; i < rules::kColumns; ++i)
            back[i] = rules::ReadValue(rules::WrittenValue(exported[i], i), i);
        Expected e;
        FUZZ_CHECK(Imported(back, &e), "an exported line reads as deleted");
        FUZZ_CHECK((e.attributes & kPdbRecSecret) == (r.attributes & kPdbRecSecret), "secret bit lost");
        FUZZ_CHECK((e.attributes & kPdbRecCategoryMask) == (r.attributes & kPdbRecCategoryMask), "category lost");
        want.push_back(e);
    }
    CheckRecords(LoadDatabase(), want, "import of the exported file");
    CheckFile(Dirs().cameras, true, written, "Cameras.txt");
}

void ImportFuzzed(const Input &input, int32_t parse) {
    Place(Dirs().database, input.hasPdb, input.pdb);
    Place(Dirs().cameras, input.hasCameras, input.cameras);
    LogLines log;
    const int32_t status = HotSync(kSyncTypeDesktopToHandheld, &log);
    if (parse != 0 && parse != kSyncErrDatabaseMissing) {
        CheckRefused(status, parse, log, input);
        return;
    }
    FUZZ_CHECK(status == 0, "import status " + std::to_string(status));
    LogLines middle;
    if (parse == kSyncErrDatabaseMissing) middle.emplace_back(kLogActivityError, "SyncOpenDB failed");
    if (!input.hasCameras)
        middle.emplace_back(kLogActivityError, Dirs().cameras + " was not there: Synced Stopped");
    FUZZ_CHECK(log == Ended(middle, 0), ShowLog(log));
    CheckFile(Dirs().cameras, input.hasCameras, input.cameras, "Cameras.txt");

    const PdbDatabase after = LoadDatabase();
    if (parse == kSyncErrDatabaseMissing) {
        FUZZ_CHECK(PdbName(after) == "LenfolDB" && after.type == 0x4974656D && after.creator == 0x4C6E466F,
                   "the created database has the wrong name, type or creator");
    }
    if (!input.hasCameras) {
        if (input.hasPdb) CheckFile(Dirs().database, true, input.pdb, "LenfolDB.pdb");
        FUZZ_CHECK(input.hasPdb || after.records.empty(), "a created database is not empty");
        return;
    }
    std::vector<Expected> want;
    for (const rules::Columns &c : rules::ReadFile(input.cameras)) {
        Expected e;
        if (Imported(c, &e)) want.push_back(e);
    }
    CheckRecords(after, want, "import of the fuzzed file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const Input input = Decode(data, size);
    StandinSetHostile(input.seed != 0, input.seed);
    PdbDatabase original;
    const int32_t parse = input.hasPdb ? PdbParse(reinterpret_cast<const uint8_t *>(input.pdb.data()),
                                                  input.pdb.size(), &original)
                                       : int32_t{kSyncErrDatabaseMissing};
    FUZZ_CHECK(parse == 0 || parse == kCorrupt || parse == kSyncErrDatabaseMissing, std::to_string(parse));

    Place(Dirs().database, input.hasPdb, input.pdb);
    Place(Dirs().cameras, input.hasCameras, input.cameras);
    Place(Dirs().temp, false, "");
    std::string written;
    if (Export(input, original, parse, &written)) ImportExported(original, written);
    ImportFuzzed(input, parse);
    return 0;
}
