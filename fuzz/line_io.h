// The conduit's line writer and reader on memory streams, and the check both
// line fuzz targets make of a record written and read back.
#ifndef LENSFOLIO_FUZZ_LINE_IO_H
#define LENSFOLIO_FUZZ_LINE_IO_H

#include <string>
#include <vector>

#include "camera_record.h"
#include "rules.h"

// The bytes WriteCustomerToFile writes for the record.
std::string WriteLine(const CameraRecord *record);
// Every record ReadCameraFromFile reads from `bytes`, in order.
std::vector<rules::Columns> ReadRecords(std::string bytes);
// The record written is the line the rules predict, and that line reads back
// as one record, the predicted one, within the widths and allowed values.
void CheckWriteAndReadBack(const CameraRecord *record);

#endif
