#include "bench_data.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pdb.h"

namespace {

const uint32_t kLengthPeriod = 997;
const uint32_t kCreatorLnFo = 0x4C6E466F;
const uint32_t kTypeItem = 0x4974656D;
// A fixed date keeps the generated .pdb the same from run to run.
const uint32_t kFixedDate = 3900000000u;

const char *const kModels[] = {"Spotmatic F", "F3", "AE-1 Program", "M6", "OM-1n",
                               "K1000", "X-700", "Rolleiflex 2.8F", "Bessa R", "XA"};
const char *const kMakers[] = {"Pentax", "Nikon",   "Canon",  "Leica",   "Olympus",
                               "Minolta", "Rollei", "Voigtlander", "Yashica", "Zeiss Ikon",
                               "Kodak",  "Mamiya",  "Fujica"};
const char *const kTypes[] = {"35mm SLR", "Rangefinder", "TLR", "Medium format",
                              "Compact", "Large format", "Folding"};
const char *const kMounts[] = {"M42", "Nikon F", "Leica M", "K mount", "FD", "fixed"};
const char *const kShutters[] = {"1/500", "1/1000", "1/250", "1/2000", "1/60"};
const char *const kRatings[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "None"};
const char kNote[] =
    "Bought at a flea market; light seals replaced, meter reads half a stop over. "
    "Shutter checked at all speeds, lens clean, no fungus, a little brassing on the top plate. "
    "Takes the old mercury cells, use an adapter.";

template <size_t N>
const char *Pick(const char *const (&list)[N], uint32_t k) {
    return list[k % N];
}

std::string Serial(uint32_t index) {
    char text[16];
    std::snprintf(text, sizeof text, "%06u", static_cast<unsigned>(index));
    return text;
}

// `pattern` repeated and cut to exactly `width` bytes.
std::string Fill(const std::string &pattern, size_t width) {
    std::string text;
    while (text.size() < width) text += pattern;
    text.resize(width);
    return text;
}

std::vector<std::string> TypicalColumns(uint32_t index, uint32_t k) {
    const uint32_t from = 1930 + k % 70;
    const size_t noteLength = 25 + (k * 37) % 81;
    return {
        std::string(Pick(kModels, k)) + " #" + Serial(index),
        Pick(kMakers, k),
        Pick(kTypes, k),
        std::to_string(from),
        std::to_string(from + k % 9),
        std::string(kNote, noteLength),
        Pick(kMounts, k),
        Pick(kShutters, k),
        "$" + std::to_string(20 + (k * 13) % 900),
        k % 2 ? "1" : "0",
        Pick(kRatings, k),
    };
}

std::vector<std::string> FullColumns(uint32_t index, uint32_t k) {
    const uint32_t from = 1930 + k % 70;
    return {
        Fill(std::string("Full width camera ") + Pick(kModels, k) + " #" + Serial(index) + " ", 45),
        Fill(std::string(Pick(kMakers, k)) + " ", 45),
        Fill(std::string(Pick(kTypes, k)) + " ", 30),
        std::to_string(from),
        std::to_string(from + k % 9),
        Fill(std::string(kNote) + " ", 1024),
        Fill(std::string(Pick(kMounts, k)) + " ", 10),
        Fill(std::string(Pick(kShutters, k)) + " ", 10),
        Fill("$" + std::to_string(20 + (k * 13) % 900) + " ", 10),
        k % 2 ? "1" : "0",
        "None",
    };
}

bool IsPrivate(uint32_t k) { return k % 7 == 3; }
uint8_t CategoryOf(uint32_t k) { return static_cast<uint8_t>(k % 16); }

std::string Body(const std::vector<std::string> &columns) {
    std::string body;
    for (size_t i = 0; i < 11; ++i) {
        body += columns[i];
        body.push_back('\0');
    }
    return body;
}

uint8_t AttributesOf(uint32_t index) {
    const uint32_t k = index % kLengthPeriod;
    return static_cast<uint8_t>((IsPrivate(k) ? kPdbRecSecret : 0) | CategoryOf(k));
}

}  // namespace

const char *ShapeName(Shape shape) { return shape == Shape::Typical ? "typical" : "full"; }

bool ParseShape(const std::string &text, Shape *shape) {
    if (text == "typical") *shape = Shape::Typical;
    else if (text == "full") *shape = Shape::Full;
    else return false;
    return true;
}

std::vector<std::string> MakeColumns(Shape shape, uint32_t index) {
    const uint32_t k = index % kLengthPeriod;
    std::vector<std::string> columns =
        shape == Shape::Typical ? TypicalColumns(index, k) : FullColumns(index, k);
    columns.push_back(IsPrivate(k) ? "Y" : "N");
    columns.push_back(std::to_string(CategoryOf(k)));
    columns.push_back("N");
    columns.push_back("N");
    return columns;
}

std::string MakeLine(const std::vector<std::string> &columns) {
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) {
        line += columns[i];
        line.push_back(i + 1 < columns.size() ? '\t' : '\n');
    }
    return line;
}

uint64_t RecordHeapBytes(const std::vector<std::string> &columns) {
    uint64_t bytes = columns.size() * sizeof(char *);
    for (const std::string &column : columns) bytes += column.size() + 1;
    return bytes;
}

bool WriteCamerasTxt(const std::string &path, Shape shape, uint32_t count, ListFacts *facts) {
    FILE *out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    *facts = ListFacts{};
    bool ok = true;
    for (uint32_t i = 0; i < count && ok; ++i) {
        const std::vector<std::string> columns = MakeColumns(shape, i);
        const std::string line = MakeLine(columns);
        ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
        facts->textBytes += line.size();
        facts->bodyBytes += Body(columns).size();
        const uint64_t recordBytes = RecordHeapBytes(columns);
        if (recordBytes > facts->largestRecord) facts->largestRecord = recordBytes;
    }
    return std::fclose(out) == 0 && ok;
}

bool WriteLenfolPdb(const std::string &path, Shape shape, uint32_t count) {
    PdbDatabase db;
    std::memcpy(db.name, "LenfolDB", sizeof "LenfolDB");
    db.creator = kCreatorLnFo;
    db.type = kTypeItem;
    db.creationDate = db.modificationDate = kFixedDate;
    db.uniqueIdSeed = count;
    db.records.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const std::string body = Body(MakeColumns(shape, i));
        PdbRecord &record = db.records[i];
        record.attributes = AttributesOf(i);
        record.uniqueId = i + 1;
        record.body.assign(body.begin(), body.end());
    }
    return PdbSave(path, db) == 0;
}

bool PdbHoldsList(const std::string &path, Shape shape, uint32_t count, std::string *why) {
    PdbDatabase db;
    if (PdbLoad(path, &db) != 0) {
        *why = "cannot load " + path;
        return false;
    }
    if (db.records.size() != count) {
        *why = std::to_string(db.records.size()) + " records, expected " + std::to_string(count);
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const PdbRecord &record = db.records[i];
        const std::string body = Body(MakeColumns(shape, i));
        const bool sameBody = record.body.size() == body.size() &&
                              std::memcmp(record.body.data(), body.data(), body.size()) == 0;
        const uint8_t kept = record.attributes & (kPdbRecDeleted | kPdbRecSecret | kPdbRecCategoryMask);
        if (!sameBody || kept != AttributesOf(i)) {
            *why = "record " + std::to_string(i) + " differs";
            return false;
        }
    }
    return true;
}
