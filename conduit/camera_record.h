/*
 * One camera, and its two encodings: a line of Cameras.txt and a handheld
 * record body.
 */
#ifndef LENSFOLIO_CAMERA_RECORD_H
#define LENSFOLIO_CAMERA_RECORD_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "camera_columns.h"

enum { kLineBufferSize = 66000 };

// The conduit's one process-wide buffer: the current text line while a line is
// read, the current record body while a record is read from or written to the
// handheld. Never two users at once. The line writer composes its line here
// too.
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
// The category texts "0" to "15", indexed by category number.
extern const char *const kCategoryTexts[kCategoryTextCount];

// A new NUL-terminated copy of `length` bytes of `text`, allocated to fit;
// the owner releases it with delete[].
char *CopyColumnText(const char *text, size_t length);

// Frees every column, then the record. Null is allowed.
void FreeCameraRecord(CameraRecord *record);

// Reads the next line of `file` (through LineBuffer) into a new record, or
// returns null when nothing more could be read; ferror(file) tells a read
// error from the end. CR LF reads as a line feed, also when a long line's
// piece ends with the CR (the LF is then taken from the stream), so a line
// reads the same here as through a Windows text stream; any other CR is an
// ordinary byte. A Ctrl-Z that ends the file is an end mark, not part of the
// line. After a read, and until LineBuffer's next use, the buffer holds the
// line the columns were taken from: up to its first NUL, without an end mark.
// The hotsync host's check compares that with the file to say what the read
// left out.
CameraRecord *ReadCameraFromFile(FILE *file);

// Writes one line; 0 on success, else the negative result of the write.
// The line is composed in LineBuffer (the record's columns are heap copies,
// never pointers into it) and written with one fprintf. A TAB, CR or LF in a
// column is written as a space, so every record stays one line of fifteen
// columns.
int32_t WriteCustomerToFile(FILE *file, const CameraRecord *record);

// Writes column1..column11 as a body at the start of `buffer`; returns the body
// size, or 0 (nothing written) when it would not fit in `capacity`. A null
// column packs as empty.
int32_t PackCameraRecord(char *buffer, size_t capacity, const CameraRecord *record);

// Builds a new record from a body of `size` bytes, never reading past it.
// Columns the body lacks are empty, a last column without its NUL ends at the
// body's end, and bytes after the eleventh NUL are ignored. The three flags
// are "N"; category is not set.
CameraRecord *UnpackCameraRecord(const char *body, size_t size);

// Sets the record's category text from the handheld category number: "1" to
// "15" for 1 to 15, "0" for any other number. A previous text is released.
void SetCategoryText(int16_t category, CameraRecord *record);

#endif
