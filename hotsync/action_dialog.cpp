// The conduit dialog library (PDCMN21.dll): the sync-action dialog, answered
// from the answers list (or the terminal) instead of a window.
#include <cstdlib>
#include <string>
#include <vector>

#include "answers.h"
#include "hostile.h"
#include "standin.h"
#include "standin_extra.h"
#include "trace.h"

namespace {

const char *const kActions[] = {"Desktop overwrites handheld", "Handheld overwrites desktop",
                                "Do nothing"};

// What a constructed dialog owns; its address marks the dialog as live.
struct DialogImpl {
    int unused;
};

struct DialogRecord {
    std::string conduitName;
    int32_t shownAction;
    int32_t shownMakeDefault;
    int32_t result;
};

struct DialogState {
    std::vector<DialogRecord> records;
    int live = 0;
};

DialogState &Dialogs() {
    static DialogState state;
    return state;
}

struct DialogAnswer {
    bool ok = false;
    bool setAction = false;
    int32_t action = 0;
    int32_t makeDefault = 0;
};

// "ok" keeps what the dialog shows; "ok:N" picks action N with the make-default
// box cleared, "ok:N:default" with it ticked.
bool ParseDialogAnswer(const std::string &token, DialogAnswer *answer) {
    *answer = DialogAnswer();
    if (token == "cancel") return true;
    if (token == "ok") {
        answer->ok = true;
        return true;
    }
    if (token.size() < 4 || token.compare(0, 3, "ok:") != 0) return false;
    char digit = token[3];
    std::string rest = token.substr(4);
    if (digit < '1' || digit > '3' || (!rest.empty() && rest != ":default")) return false;
    answer->ok = true;
    answer->setAction = true;
    answer->action = digit - '0';
    answer->makeDefault = rest.empty() ? 0 : 1;
    return true;
}

void ShowDialog(const HotSyncActionDlg *dlg) {
    std::string text = "\n[HotSync action] ";
    text += dlg->conduitName ? dlg->conduitName : "";
    text += "\n";
    for (int32_t i = 1; i <= 3; ++i) {
        text += std::string(i == dlg->actionIndex ? "  (*) " : "  ( ) ") + std::to_string(i) +
                " " + kActions[i - 1] + "\n";
    }
    text += std::string("  [") + (dlg->makeDefault ? "x" : " ") + "] Make this the default\n";
    text += "  buttons: OK | Cancel\n";
    standin::WriteStderr(text);
}

DialogAnswer ChooseDialogAnswer(std::string *source) {
    DialogAnswer answer;
    std::string token;
    if (standin::TakeAnswer(&token)) {
        *source = "answers list";
        if (ParseDialogAnswer(token, &answer)) return answer;
        *source = "cancelled; \"" + token + "\" is not a dialog answer";
        return DialogAnswer();
    }
    if (standin::TerminalAnswers()) {
        *source = "terminal";
        const std::string question = "  answer (ok | ok:N | ok:N:default | cancel; Enter = ok): ";
        while (standin::AskTerminal(question, &token)) {
            if (token.empty()) token = "ok";
            if (ParseDialogAnswer(token, &answer)) return answer;
        }
        return DialogAnswer();
    }
    *source = "no answer left: Cancel";
    return DialogAnswer();
}

int32_t RunDialog(HotSyncActionDlg *dlg) {
    if (!dlg || !dlg->impl) return kStandinErrBadArgument;
    DialogRecord record{dlg->conduitName ? dlg->conduitName : "", dlg->actionIndex,
                        dlg->makeDefault, kDialogCancel};
    ShowDialog(dlg);
    std::string source;
    DialogAnswer answer = ChooseDialogAnswer(&source);
    if (answer.ok) {
        record.result = kDialogOk;
        if (answer.setAction) {
            dlg->actionIndex = answer.action;
            dlg->makeDefault = answer.makeDefault;
        }
    }
    standin::WriteStderr("  answer: " +
                         (answer.ok ? "OK, action " + std::to_string(dlg->actionIndex) +
                                          (dlg->makeDefault ? ", default" : "")
                                    : std::string("Cancel")) +
                         " (" + source + ")\n");
    Dialogs().records.push_back(record);
    return record.result;
}

// Only 1 means OK. On OK the conduit reads the action index, of which only 1
// and 2 carry a meaning (any other is Do nothing), and the make-default
// switch, of which only zero or not counts. After a cancel it reads nothing.
int32_t HostileOutcome(int32_t result, HotSyncActionDlg *dlg) {
    if (!standin::Hostile() || dlg == nullptr) return result;
    if (result == kDialogOk) {
        if (dlg->actionIndex != 1 && dlg->actionIndex != 2)
            dlg->actionIndex = standin::HostileExcept({1, 2});
        if (dlg->makeDefault != 0) dlg->makeDefault = standin::HostileExcept({0});
        return result;
    }
    dlg->actionIndex = standin::HostileAny();
    dlg->makeDefault = standin::HostileAny();
    return standin::HostileExcept({kDialogOk});
}

const DialogRecord *RecordAt(size_t index) {
    const std::vector<DialogRecord> &records = Dialogs().records;
    return index < records.size() ? &records[index] : nullptr;
}

}  // namespace

extern "C" {

int32_t HS_CALL InitPdcmn5DLL(void) {
    int32_t status = 0;
    bool injected = standin::Injected("InitPdcmn5DLL", &status);
    status = standin::UnexaminedResult(status);
    standin::TraceCall("InitPdcmn5DLL", injected, status, {});
    return status;
}

int32_t HS_CALL ConstructHotSyncActionDlg(HotSyncActionDlg *dlg, void *parent) {
    int32_t status = 0;
    bool injected = standin::Injected("ConstructHotSyncActionDlg", &status);
    if (!injected && !dlg) status = kStandinErrBadArgument;
    if (!injected && dlg) {
        dlg->parent = parent;
        dlg->conduitName = nullptr;
        dlg->actionIndex = 0;
        dlg->makeDefault = 0;
        dlg->impl = new DialogImpl();
        ++Dialogs().live;
        // The switch and the index start as the library likes; the caller sets the index.
        if (standin::Hostile()) {
            dlg->actionIndex = standin::HostileAny();
            dlg->makeDefault = standin::HostileAny();
        }
    }
    status = standin::FailureStatus(status);
    standin::TraceCall("ConstructHotSyncActionDlg", injected, status,
                       {parent ? "parent" : "(null)"});
    return status;
}

int32_t HS_CALL RunHotSyncActionDlg(HotSyncActionDlg *dlg) {
    int32_t status = 0;
    bool injected = standin::Injected("RunHotSyncActionDlg", &status);
    if (!injected) status = RunDialog(dlg);
    status = injected ? standin::FailureStatus(status, kDialogOk) : HostileOutcome(status, dlg);
    standin::TraceCall("RunHotSyncActionDlg", injected, status,
                       {dlg ? standin::TextArgument(dlg->conduitName) : "(null)",
                        dlg ? std::to_string(dlg->actionIndex) : ""});
    return status;
}

// Cannot report a failure: a fault is counted and traced, and the dialog is
// destroyed all the same so that nothing leaks.
void HS_CALL DestroyHotSyncActionDlg(HotSyncActionDlg *dlg) {
    int32_t status = 0;
    bool injected = standin::Injected("DestroyHotSyncActionDlg", &status);
    if (dlg && dlg->impl) {
        delete static_cast<DialogImpl *>(dlg->impl);
        dlg->impl = nullptr;
        --Dialogs().live;
    }
    standin::TraceCall("DestroyHotSyncActionDlg", injected, 0, {});
}

size_t StandinDialogCount(void) { return Dialogs().records.size(); }

const char *StandinDialogConduitName(size_t index) {
    const DialogRecord *record = RecordAt(index);
    return record ? record->conduitName.c_str() : nullptr;
}

int32_t StandinDialogShownAction(size_t index) {
    const DialogRecord *record = RecordAt(index);
    return record ? record->shownAction : 0;
}

int32_t StandinDialogShownMakeDefault(size_t index) {
    const DialogRecord *record = RecordAt(index);
    return record ? record->shownMakeDefault : 0;
}

int32_t StandinDialogResult(size_t index) {
    const DialogRecord *record = RecordAt(index);
    return record ? record->result : 0;
}

void StandinClearDialogs(void) { Dialogs().records.clear(); }

int StandinLiveDialogCount(void) { return Dialogs().live; }

}  // extern "C"
