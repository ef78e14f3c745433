/*
 * Choosing the HotSync user to act for: one confirmation box per user, in
 * index order, until one is answered Yes or the users run out.
 */
#ifndef LENSFOLIO_USER_SELECT_H
#define LENSFOLIO_USER_SELECT_H

#include <cstdint>

#include "setup_text.h"

struct UserSelection {
    int selected;      // non-zero once a user answered Yes
    uint32_t userId;   // of the user asked last
    int32_t answer;    // of the last confirmation box
    char userName[kSetupTextCapacity];       // of the user asked last
    char userDirectory[kSetupTextCapacity];  // of the selected user
};

// The prompt is head, user name, tail; shown under `title`.
struct SelectionTexts {
    const char *promptHead;
    const char *promptTail;
    const char *title;
};

// kSetupGoOn with a selected user, else kSetupStop: no users, none accepted,
// or a prompt too long for its buffer (its error box shown). `prompt` is the
// caller's buffer of kSetupTextCapacity bytes, which the caller reuses later.
int SelectUser(const SelectionTexts *texts, UserSelection *selection, char *prompt);

#endif  // LENSFOLIO_USER_SELECT_H
