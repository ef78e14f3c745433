// The dialog template IDD_ACTION of lenfol.rc, run modally from Lenfol.dll's
// own resources.
#include <windows.h>

#include "action_dialog_window.h"
#include "resource.h"

// This module's base address: the dialog template lives in Lenfol.dll, not in
// the program that loaded it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const int kActionButtons[] = {IDC_ACTION_DESKTOP, IDC_ACTION_HANDHELD, IDC_ACTION_NOTHING};

struct DialogData {
    const char *conduitName;
    ActionChoice *choice;
};

void Show(HWND dialog, const DialogData *data) {
    SetDlgItemTextA(dialog, IDC_CONDUIT_NAME, data->conduitName);
    int32_t index = data->choice->actionIndex;
    if (index < 1 || index > 3) index = 3;
    CheckRadioButton(dialog, IDC_ACTION_DESKTOP, IDC_ACTION_NOTHING, kActionButtons[index - 1]);
    CheckDlgButton(dialog, IDC_MAKE_DEFAULT, data->choice->makeDefault ? BST_CHECKED : BST_UNCHECKED);
}

void Read(HWND dialog, ActionChoice *choice) {
    choice->actionIndex = 3;
    for (int i = 0; i < 3; ++i) {
        if (IsDlgButtonChecked(dialog, kActionButtons[i]) == BST_CHECKED) choice->actionIndex = i + 1;
    }
    choice->makeDefault = IsDlgButtonChecked(dialog, IDC_MAKE_DEFAULT) == BST_CHECKED ? 1 : 0;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        Show(dialog, reinterpret_cast<const DialogData *>(lParam));
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    const WORD command = LOWORD(wParam);
    if (command == IDOK) {
        auto *data = reinterpret_cast<DialogData *>(GetWindowLongPtrA(dialog, DWLP_USER));
        Read(dialog, data->choice);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (command == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int ShowActionDialogWindow(void *parent, const char *conduitName, ActionChoice *choice) {
    DialogData data{conduitName, choice};
    const INT_PTR result =
        DialogBoxParamA(reinterpret_cast<HINSTANCE>(&__ImageBase), MAKEINTRESOURCEA(IDD_ACTION),
                        static_cast<HWND>(parent), DialogProc, reinterpret_cast<LPARAM>(&data));
    return result == IDOK ? IDOK : IDCANCEL;
}
