// Deterministic camera lists for the benchmarks: the same records as a
// Cameras.txt and as a LenfolDB.pdb, at any size up to the 65,535 records a
// handheld database holds.
#ifndef LENSFOLIO_BENCH_DATA_H
#define LENSFOLIO_BENCH_DATA_H

#include <cstdint>
#include <string>
#include <vector>

// Typical: about 150 bytes a line. Full: every column at its full width, so
// every record body is 1198 bytes.
enum class Shape { Typical, Full };

const char *ShapeName(Shape shape);
bool ParseShape(const std::string &text, Shape *shape);

// The fifteen columns of record `index`, in line order. Column lengths repeat
// every 997 records, so every list of 1,000 records or more holds the same
// longest record; the texts differ in every record.
std::vector<std::string> MakeColumns(Shape shape, uint32_t index);

// Line of Cameras.txt for these columns, line feed included.
std::string MakeLine(const std::vector<std::string> &columns);

// Bytes the conduit allocates for this record, as counted by the heap
// benchmark: the record of fifteen pointers plus each column and its NUL.
uint64_t RecordHeapBytes(const std::vector<std::string> &columns);

struct ListFacts {
    uint64_t textBytes = 0;       // size of Cameras.txt
    uint64_t bodyBytes = 0;       // all record bodies together
    uint64_t largestRecord = 0;   // RecordHeapBytes of the largest record
};

// Writes Cameras.txt with `count` lines; false on an I/O error.
bool WriteCamerasTxt(const std::string &path, Shape shape, uint32_t count, ListFacts *facts);
// Writes LenfolDB.pdb (creator LnFo, type Item) with the same records: secret
// attribute from the private flag, category from the category column.
bool WriteLenfolPdb(const std::string &path, Shape shape, uint32_t count);
// True when the .pdb holds exactly these records in this order (bodies,
// secret bit, category); else says why.
bool PdbHoldsList(const std::string &path, Shape shape, uint32_t count, std::string *why);

#endif
