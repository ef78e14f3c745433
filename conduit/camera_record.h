/*
 * One camera, and its two encodings: a line of Cameras.txt and a handheld
 * record body.
 */
#ifndef LENSFOLIO_CAMERA_RECORD_H
#define LENSFOLIO_CAMERA_RECORD_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum { kLineBufferSize = 66000, kCameraColumnCount = 15 };

// The conduit's one process-wide buffer: the current text line while a line is
// read, the current record body while a record is read from or written to the
// handheld. Never two users at once.
extern char LineBuffer[kLineBufferSize];

// Fifteen owned, NUL-terminated columns. A null column is "not set".
struct CameraRecord {
    char *column1;
    char *column2;
    char *column3;
    char *column4;
    char *column5;
    char *column6;
    char *column7;
    char *column8;
    char *column9;
    char *column10;
    char *column11;
    char *privateFlag;
    char *category;
    char *modifiedFlag;
    char *deletedFlag;
};

// The columns in line order, for code that walks all fifteen.
extern char *CameraRecord::*const kCameraColumns[kCameraColumnCount];
// Width of each column, in line order: 45, 45, 30, 4, 4, 1024, 10, 10, 10, 1, 4, 1, 2, 1, 1.
extern const size_t kCameraColumnWidths[kCameraColumnCount];

// Frees every column, then the record. Null is allowed.
void FreeCameraRecord(CameraRecord *record);

// Reads the next line of `file` (through LineBuffer) into a new record, or
// returns null when nothing more could be read; ferror(file) tells a read
// error from the end.
CameraRecord *ReadCameraFromFile(FILE *file);

// Writes one line; 0 on success, else the negative result of the write.
int32_t WriteCustomerToFile(FILE *file, const CameraRecord *record);

// Writes column1..column11 as a body at the start of `buffer`; returns the body
// size, or 0 (nothing usable written) when it would not fit in `capacity`.
int32_t PackCameraRecord(char *buffer, size_t capacity, const CameraRecord *record);

// Builds a new record from a body of `size` bytes, never reading past it.
CameraRecord *UnpackCameraRecord(const char *body, size_t size);

// Sets the record's category text from the handheld category number.
void SetCategoryText(int16_t category, CameraRecord *record);

#endif
