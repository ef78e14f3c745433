#include "user_select.h"

#include <cstring>

#include "platform.h"

namespace {

int BuildPrompt(const SelectionTexts *texts, const char *userName, char *prompt) {
    if (CopyText(prompt, kSetupTextCapacity, texts->promptHead) != 0) return kSetupErrTooLong;
    if (AppendText(prompt, kSetupTextCapacity, userName) != 0) return kSetupErrTooLong;
    return AppendText(prompt, kSetupTextCapacity, texts->promptTail);
}

// A query that fails may still leave text behind, with or without a NUL;
// none of it is the user's, so a failed query reads as an empty text.
void QueryUserName(UserSelection *selection) {
    uint32_t size = kSetupTextCapacity;
    const int32_t status = GetHotSyncUserName(selection->userId, selection->userName, &size);
    KeepQueriedText(selection->userName, status == 0);
}

void QueryUserDirectory(UserSelection *selection) {
    uint32_t size = kSetupTextCapacity;
    const int32_t status =
        GetHotSyncUserDirectory(selection->userId, selection->userDirectory, &size);
    KeepQueriedText(selection->userDirectory, status == 0);
}

}  // namespace

int SelectUser(const SelectionTexts *texts, UserSelection *selection, char *prompt) {
    std::memset(selection, 0, sizeof *selection);
    // The user data library counts in its low 16 bits, as a signed number.
    int16_t count = static_cast<int16_t>(GetHotSyncUserCount() & 0xFFFF);
    if (count <= 0) return kSetupStop;
    for (int16_t index = 0; index < count && !selection->selected; ++index) {
        GetHotSyncUserId(index, &selection->userId);
        QueryUserName(selection);
        if (BuildPrompt(texts, selection->userName, prompt) != 0) {
            ShowLengthError(kUserNameTooLongText);
            return kSetupStop;
        }
        selection->answer = ShowBox(prompt, texts->title, kBoxConfirm);
        if (selection->answer == kIdYes) {
            selection->selected = 1;
            QueryUserDirectory(selection);
        }
    }
    return selection->selected ? kSetupGoOn : kSetupStop;
}
