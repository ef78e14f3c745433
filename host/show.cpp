// show: a handheld database as a table, each record's body read as the
// conduit reads it.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "camera_record.h"
#include "host_os.h"
#include "pdb.h"
#include "standin.h"
#include "sync_run.h"

namespace host {

namespace {

const char *const kFieldNames[kBodyColumnCount] = {"Name", "Maker", "Type",  "Intro",
                                                   "Until", "Note", "Col7", "Col8",
                                                   "Col9", "Owned", "Rating"};
// The most characters a table cell shows; --full shows everything.
const size_t kFieldCaps[kBodyColumnCount] = {30, 20, 16, 4, 4, 30, 10, 10, 10, 5, 6};

struct Row {
    std::string index;
    std::string id;
    std::string attributes;
    std::string category;
    std::string fields[kBodyColumnCount];
};

std::string FourChars(uint32_t value) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((value >> shift) & 0xFF);
    return ToTerminal(text);
}

std::string PalmDate(uint32_t seconds) {
    if (seconds < kPdbEpochOffset) return seconds == 0 ? "never" : "before 1970";
    std::time_t t = static_cast<std::time_t>(seconds - kPdbEpochOffset);
    std::tm local{};
    os::LocalTime(t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string AttributeText(uint8_t attributes) {
    std::vector<std::string> words;
    if (attributes & kPdbRecDeleted) words.push_back("deleted");
    if ((attributes & kPdbRecDeleted) && (attributes & kPdbRecArchive)) words.push_back("archived");
    if (attributes & kPdbRecSecret) words.push_back("secret");
    if (attributes & kPdbRecDirty) words.push_back("dirty");
    if (attributes & kPdbRecBusy) words.push_back("busy");
    std::string text;
    for (const std::string &word : words) text += (text.empty() ? "" : ",") + word;
    return text.empty() ? "-" : text;
}

Row MakeRow(const PdbRecord &record, size_t index) {
    Row row;
    char id[16];
    std::snprintf(id, sizeof id, "0x%06X", record.uniqueId);
    row.index = std::to_string(index);
    row.id = id;
    row.attributes = AttributeText(record.attributes);
    bool deleted = record.attributes & kPdbRecDeleted;
    row.category = deleted ? "-" : std::to_string(record.attributes & kPdbRecCategoryMask);
    CameraRecord *camera = UnpackCameraRecord(reinterpret_cast<const char *>(record.body.data()),
                                              record.body.size());
    for (size_t i = 0; i < kBodyColumnCount; ++i) {
        const char *text = camera->*kCameraColumns[i];
        row.fields[i] = text ? text : "";
    }
    FreeCameraRecord(camera);
    return row;
}

void PrintTable(const std::vector<Row> &rows) {
    size_t wIndex = 1, wId = 2, wAttr = 10, wCat = 3;
    size_t widths[kBodyColumnCount];
    for (size_t i = 0; i < kBodyColumnCount; ++i) widths[i] = std::string(kFieldNames[i]).size();
    for (const Row &row : rows) {
        wIndex = std::max(wIndex, row.index.size());
        wId = std::max(wId, row.id.size());
        wAttr = std::max(wAttr, row.attributes.size());
        for (size_t i = 0; i < kBodyColumnCount; ++i) {
            widths[i] = std::max(widths[i], std::min(row.fields[i].size(), kFieldCaps[i]));
        }
    }
    std::string header = Cell("#", wIndex) + "  " + Cell("ID", wId) + "  " +
                         Cell("Attributes", wAttr) + "  " + Cell("Cat", wCat);
    for (size_t i = 0; i < kBodyColumnCount; ++i) header += "  " + Cell(kFieldNames[i], widths[i]);
    std::printf("%s\n", header.c_str());
    for (const Row &row : rows) {
        std::string line = Cell(row.index, wIndex) + "  " + Cell(row.id, wId) + "  " +
                           Cell(row.attributes, wAttr) + "  " + Cell(row.category, wCat);
        for (size_t i = 0; i < kBodyColumnCount; ++i) line += "  " + Cell(row.fields[i], widths[i]);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::printf("%s\n", line.c_str());
    }
}

void PrintBlocks(const std::vector<Row> &rows) {
    for (const Row &row : rows) {
        std::printf("#%s  ID %s  attributes %s  category %s\n", row.index.c_str(), row.id.c_str(),
                    row.attributes.c_str(), row.category.c_str());
        for (size_t i = 0; i < kBodyColumnCount; ++i) {
            std::printf("  %2zu %-7s %s\n", i + 1, kFieldNames[i], ToTerminal(row.fields[i]).c_str());
        }
    }
}

bool LooksLikePath(const std::string &database) {
    return database.find('/') != std::string::npos ||
           (database.size() > 4 && database.compare(database.size() - 4, 4, ".pdb") == 0);
}

int LocateDatabase(const GlobalOptions &options, const std::string &user,
                   const std::string &database, std::string *path) {
    if (LooksLikePath(database)) {
        *path = database;
        return kExitOk;
    }
    UserContext context;
    int status = ResolveUser(options, user, &context);
    if (status != kExitOk) return status;
    *path = DatabasePath(context.handheldDir, database);
    return kExitOk;
}

}  // namespace

int RunShow(const GlobalOptions &options, const std::string &user, const std::string &database,
            bool full) {
    std::string path;
    int status = LocateDatabase(options, user, database, &path);
    if (status != kExitOk) return status;
    PdbDatabase db;
    int32_t loaded = PdbLoad(path, &db);
    if (loaded == kSyncErrDatabaseMissing) return Error("no database file " + path);
    if (loaded == kStandinErrCorrupt) {
        return Error(path + " is corrupt: not a valid Palm record database (.pdb) file");
    }
    if (loaded != 0) return Error("cannot read " + path + ": " + DescribeStatus(loaded));
    std::printf("%s  (%s)\n", ToTerminal(PdbName(db)).c_str(), path.c_str());
    std::printf("type %s, creator %s, %zu record(s), modified %s, backed up %s\n\n",
                FourChars(db.type).c_str(), FourChars(db.creator).c_str(), db.records.size(),
                PalmDate(db.modificationDate).c_str(), PalmDate(db.backupDate).c_str());
    std::vector<Row> rows;
    for (size_t i = 0; i < db.records.size(); ++i) rows.push_back(MakeRow(db.records[i], i));
    if (full) {
        PrintBlocks(rows);
    } else {
        PrintTable(rows);
    }
    return kExitOk;
}

}  // namespace host
