// The sync-action dialog of the Windows conduit. The HotSync dialog library's
// own dialog is an MFC C++ class that a MinGW build cannot bind, so the
// conduit brings a small Win32 dialog offering the same three inputs: the
// conduit name shown, the action index and the make-default switch.
#include "action_dialog_window.h"
#include "platform.h"

extern "C" {

int32_t HS_CALL ConstructHotSyncActionDlg(HotSyncActionDlg *dlg, void *parent) {
    if (dlg == nullptr) return -1;
    *dlg = HotSyncActionDlg{};
    dlg->parent = parent;
    return 0;
}

int32_t HS_CALL RunHotSyncActionDlg(HotSyncActionDlg *dlg) {
    if (dlg == nullptr) return kDialogCancel;
    ActionChoice choice{dlg->actionIndex, dlg->makeDefault};
    const char *name = dlg->conduitName != nullptr ? dlg->conduitName : "";
    const int result = ShowActionDialogWindow(dlg->parent, name, &choice);
    if (result != kDialogOk) return kDialogCancel;
    dlg->actionIndex = choice.actionIndex;
    dlg->makeDefault = choice.makeDefault;
    return kDialogOk;
}

// The window is gone once the modal run returns; nothing else is held.
void HS_CALL DestroyHotSyncActionDlg(HotSyncActionDlg *dlg) {
    if (dlg != nullptr) dlg->impl = nullptr;
}

}  // extern "C"
