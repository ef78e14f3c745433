/*
 * Text handling and message boxes shared by the installer and the uninstaller.
 * Every text is built in a fixed 512-byte buffer; the builders refuse what
 * would not fit instead of cutting it, so no path is ever used half-built.
 */
#ifndef LENSFOLIO_SETUP_TEXT_H
#define LENSFOLIO_SETUP_TEXT_H

#include <cstddef>
#include <cstdint>

// Size of every text buffer and of every size handed to a HotSync query.
enum { kSetupTextCapacity = 512 };

// Results of the setup steps: go on with the run, or stop it (its one box has
// been shown, or no box is due).
enum { kSetupGoOn = 0, kSetupStop = 1 };

// Not part of any HotSync result: a text that does not fit its buffer.
enum { kSetupErrTooLong = 1 };

enum : uint32_t {
    kBoxError = 0x10,        // OK button, stop icon
    kBoxInformation = 0x40,  // OK button, information icon
    kBoxConfirm = 0x123      // Yes, No, Cancel; question mark; No is the default
};

// Length errors are this program's own: one box, then the run stops.
extern const char kPathTooLongText[];
extern const char kUserNameTooLongText[];

// `text` into a buffer of `capacity` bytes; kSetupErrTooLong, buffer
// unchanged, when it would not fit with its NUL.
int CopyText(char *buffer, size_t capacity, const char *text);
// `piece` after the text in the buffer; kSetupErrTooLong, buffer unchanged,
// when the result would not fit with its NUL.
int AppendText(char *buffer, size_t capacity, const char *piece);
// Non-zero when the pieces joined fit a buffer of `capacity` bytes.
int TextFits(const char *const *pieces, size_t count, size_t capacity);
// HotSync directory, a backslash, user directory, then `piece`, into a buffer
// of kSetupTextCapacity bytes.
int BuildUserPath(char *buffer, const char *hotSyncDirectory, const char *userDirectory,
                  const char *piece);

// Makes a buffer of kSetupTextCapacity bytes that a platform query filled
// hold a C string: empty when the query did not answer, and ending within the
// buffer whatever the query left in it.
void KeepQueriedText(char *buffer, int answered);

// A box owned by the window that has the focus now, which may be none.
int32_t ShowBox(const char *text, const char *title, uint32_t style);
void ShowLengthError(const char *text);

#endif  // LENSFOLIO_SETUP_TEXT_H
