#include "setup_text.h"

#include <cstring>

#include "platform.h"

const char kPathTooLongText[] = "Path too long!";
const char kUserNameTooLongText[] = "User name too long!";

int CopyText(char *buffer, size_t capacity, const char *text) {
    size_t length = std::strlen(text);
    if (length >= capacity) return kSetupErrTooLong;
    std::memcpy(buffer, text, length + 1);
    return 0;
}

int AppendText(char *buffer, size_t capacity, const char *piece) {
    size_t used = std::strlen(buffer);
    size_t length = std::strlen(piece);
    if (used >= capacity || length >= capacity - used) return kSetupErrTooLong;
    std::memcpy(buffer + used, piece, length + 1);
    return 0;
}

int TextFits(const char *const *pieces, size_t count, size_t capacity) {
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        total += std::strlen(pieces[i]);
        if (total >= capacity) return 0;
    }
    return 1;
}

int BuildUserPath(char *buffer, const char *hotSyncDirectory, const char *userDirectory,
                  const char *piece) {
    if (CopyText(buffer, kSetupTextCapacity, hotSyncDirectory) != 0) return kSetupErrTooLong;
    if (AppendText(buffer, kSetupTextCapacity, "\\") != 0) return kSetupErrTooLong;
    if (AppendText(buffer, kSetupTextCapacity, userDirectory) != 0) return kSetupErrTooLong;
    return AppendText(buffer, kSetupTextCapacity, piece);
}

void KeepQueriedText(char *buffer, int answered) {
    if (!answered) buffer[0] = '\0';
    buffer[kSetupTextCapacity - 1] = '\0';
}

int32_t ShowBox(const char *text, const char *title, uint32_t style) {
    return MessageBoxA(GetFocus(), text, title, style);
}

void ShowLengthError(const char *text) { ShowBox(text, "Lensfolio: Length Error", kBoxError); }
