// What both bench programs take on their command lines and print: comma
// lists of sizes and shapes, counts with thousands separators, and the work
// folder they make for themselves.
#ifndef LENSFOLIO_BENCH_COMMON_H
#define LENSFOLIO_BENCH_COMMON_H

#include <cstdint>
#include <string>
#include <vector>

#include "bench_data.h"

// "1000,10000,65535": each from 1 to 65535. False on anything else or on an
// empty list.
bool ParseSizes(const std::string &text, std::vector<uint32_t> *sizes);
// "typical,full". False on an unknown shape or on an empty list.
bool ParseShapes(const std::string &text, std::vector<Shape> *shapes);

// "65,535"
std::string Grouped(uint64_t value);

// A fresh folder <prefix>XXXXXX in memory (tmpfs) where there is one: a
// disk's writeback would otherwise time the disk. Empty when none can be made.
std::string MakeWorkDir(const std::string &prefix);

#endif
