// Helpers shared by the record, line and body tests: records built from
// plain strings, and their columns read back as strings.
#ifndef LENSFOLIO_RECORD_SUPPORT_H
#define LENSFOLIO_RECORD_SUPPORT_H

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "camera_record.h"

using Columns = std::array<std::string, kCameraColumnCount>;
using OptionalColumns = std::array<std::optional<std::string>, kCameraColumnCount>;
using RecordPtr = std::unique_ptr<CameraRecord, decltype(&FreeCameraRecord)>;
using FilePtr = std::unique_ptr<FILE, decltype(&std::fclose)>;

// A heap copy the record may own and free.
char *Dup(const std::string &text);
// A record whose set columns are copies of the given texts.
RecordPtr MakeRecord(const OptionalColumns &columns);
// Every column as a string; "<null>" for one not set.
Columns ColumnsOf(const CameraRecord *record);
// The whole stream, from its start.
std::string FileBytes(FILE *file);

#endif
