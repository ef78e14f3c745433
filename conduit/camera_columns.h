/*
 * The fifteen columns of a camera and the rules they are read and written by,
 * in line order. The conduit's reader and writer follow these tables.
 * Anything else that must judge a line of Cameras.txt the way the conduit
 * will (the hotsync host's `check`) runs that reader and writer and names
 * what they did from these tables: nobody restates them, but for the tests'
 * oracle, which does so on purpose to check the conduit against.
 *
 * Reading a column: its text is cut to its width; a coded column (one with
 * allowed values) whose text is none of them reads as its invalid text.
 * Writing a column: a column that is not set is written as its unset text;
 * an empty column marked spaceWhenEmpty is written as one space.
 */
#ifndef LENSFOLIO_CAMERA_COLUMNS_H
#define LENSFOLIO_CAMERA_COLUMNS_H

#include <cstddef>

enum CameraColumn {
    kColumn1, kColumn2, kColumn3, kColumn4, kColumn5, kColumn6,
    kColumn7, kColumn8, kColumn9, kColumn10, kColumn11,
    kPrivateFlagColumn, kCategoryColumn, kModifiedFlagColumn, kDeletedFlagColumn,
    kCameraColumnCount
};
// column1..column11 travel in a handheld record body; the other four do not.
enum { kBodyColumnCount = kColumn11 + 1 };
// "0".."15": the category numbers that have a text of their own.
enum { kCategoryTextCount = 16 };

struct CameraColumnRule {
    const char *name;            // as the record names it: "column1" ... "deletedFlag"
    const char *const *allowed;  // null: any text is valid
    size_t allowedCount;
    const char *invalidText;     // what a value outside `allowed` reads as
    bool spaceWhenEmpty;         // least written width 1
    const char *unsetText;       // what a column that is not set is written as
};

// Width of each column: 45, 45, 30, 4, 4, 1024, 10, 10, 10, 1, 4, 1, 2, 1, 1.
extern const size_t kCameraColumnWidths[kCameraColumnCount];
extern const CameraColumnRule kCameraColumnRules[kCameraColumnCount];

#endif
