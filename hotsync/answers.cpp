// The answers list, and what takes its answers from it instead of a window:
// MessageBoxA and the conduit dialog library's (PDCMN21.dll) sync-action
// dialog. Once the list is used up, the terminal answers, if there is one.
#include <cctype>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "os.h"
#include "standin.h"
#include "trace.h"

namespace standin {

namespace {

struct AnswerList {
    std::optional<std::vector<std::string>> tokens;
    size_t next = 0;
    bool terminal = true;
};

AnswerList &Answers() {
    static AnswerList list;
    return list;
}

std::string Normalize(const std::string &text) {
    std::string result = Trim(text);
    for (char &c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::vector<std::string> ParseList(const std::string &list) {
    std::vector<std::string> tokens = list.empty() ? std::vector<std::string>() : Split(list, ',');
    for (std::string &token : tokens) token = Normalize(token);
    return tokens;
}

// Whether `accepts` took the next answer: the list's next token, whatever it
// says; else, when answers may be asked on the terminal and standard input is
// one, the first line it takes (an empty line reads as `enter`). *source says
// where the answer came from, or why the caller falls back on `fallback`.
template <typename Accepts>
bool NextAnswer(const std::string &question, const char *enter, Accepts accepts,
                const std::string &fallback, std::string *source) {
    AnswerList &answers = Answers();
    const auto &tokens =
        Chosen(answers.tokens, [] { return ParseList(Environment("HOTSYNC_ANSWERS")); });
    if (answers.next < tokens.size()) {
        const std::string &token = tokens[answers.next++];
        const bool taken = accepts(token);
        *source = taken ? "answers list" : fallback + "; \"" + token + "\" is not an answer here";
        return taken;
    }
    *source = fallback;
    if (!answers.terminal || !os::StandardInputIsTerminal()) return false;
    std::string line;
    do {
        WriteStderr(question);
        if (!std::getline(std::cin, line)) return false;
    } while (!accepts(line.empty() ? enter : Normalize(line)));
    *source = "terminal";
    return true;
}

struct Button {
    const char *name;
    int32_t id;
};

// By the box's type, the low four bits of its style.
const std::vector<Button> kButtons[] = {
    {{"OK", kIdOk}},
    {{"OK", kIdOk}, {"Cancel", kIdCancel}},
    {{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}},
    {{"Yes", kIdYes}, {"No", kIdNo}, {"Cancel", kIdCancel}},
    {{"Yes", kIdYes}, {"No", kIdNo}},
    {{"Retry", 4}, {"Cancel", kIdCancel}}};

int32_t ShowBox(const char *caption, const char *text, uint32_t style) {
    const size_t type = style & 0xF;
    const std::vector<Button> &buttons = kButtons[type < std::size(kButtons) ? type : 0];
    size_t defaultIndex = (style >> 8) & 0xF;
    if (defaultIndex >= buttons.size()) defaultIndex = 0;
    std::string line;
    for (size_t i = 0; i < buttons.size(); ++i)
        line += (i ? " | " : "") + std::string(buttons[i].name) +
                (i == defaultIndex ? " (default)" : "");
    // Windows shows "Error" for a missing caption.
    WriteStderr("\n[" + std::string(caption ? caption : "Error") + "] " + (text ? text : "") +
                "\n  buttons: " + line + "\n");
    size_t chosen = defaultIndex;
    auto names = [&](const std::string &token) {
        chosen = 0;
        while (chosen < buttons.size() && Normalize(buttons[chosen].name) != token) ++chosen;
        if (token.empty() || token == "enter") chosen = defaultIndex;
        return chosen < buttons.size();
    };
    std::string source;
    if (!NextAnswer("  answer (" + line + "; Enter = " + buttons[defaultIndex].name + "): ",
                    "enter", names, "default button", &source))
        chosen = defaultIndex;
    WriteStderr("  answer: " + std::string(buttons[chosen].name) + " (" + source + ")\n");
    return buttons[chosen].id;
}

// ---- The action dialog

const char *const kActions[] = {"Desktop overwrites handheld", "Handheld overwrites desktop",
                                "Do nothing"};

// What a constructed dialog owns; its address marks the dialog as live.
struct DialogImpl {};

int &LiveDialogs() {
    static int live = 0;
    return live;
}

struct DialogAnswer {
    bool ok = false;
    int32_t action = 0;  // 0: as shown
    int32_t makeDefault = 0;
};

// "ok" keeps what the dialog shows; "ok:N" picks action N with the make-default
// box cleared, "ok:N:default" with it ticked.
bool ParseDialogAnswer(const std::string &token, DialogAnswer *answer) {
    if (token == "ok" || token == "cancel") {
        *answer = DialogAnswer{token == "ok"};
        return true;
    }
    const bool ticked = token.size() == 12 && token.compare(4, 8, ":default") == 0;
    if ((token.size() != 4 && !ticked) || token.compare(0, 3, "ok:") != 0 || token[3] < '1' ||
        token[3] > '3')
        return false;
    *answer = DialogAnswer{true, token[3] - '0', ticked ? 1 : 0};
    return true;
}

int32_t RunDialog(HotSyncActionDlg *dlg) {
    if (!dlg || !dlg->impl) return kStandinErrBadArgument;
    std::string text = "\n[HotSync action] ";
    text += dlg->conduitName ? dlg->conduitName : "";
    for (int32_t i = 1; i <= 3; ++i)
        text += std::string(i == dlg->actionIndex ? "\n  (*) " : "\n  ( ) ") + std::to_string(i) +
                " " + kActions[i - 1];
    text += std::string("\n  [") + (dlg->makeDefault ? "x" : " ") +
            "] Make this the default\n  buttons: OK | Cancel\n";
    WriteStderr(text);
    DialogAnswer answer;
    std::string source;
    auto parses = [&](const std::string &token) { return ParseDialogAnswer(token, &answer); };
    if (!NextAnswer("  answer (ok | ok:N | ok:N:default | cancel; Enter = ok): ", "ok", parses,
                    "cancelled", &source))
        answer = DialogAnswer();
    if (answer.action != 0) {
        dlg->actionIndex = answer.action;
        dlg->makeDefault = answer.makeDefault;
    }
    std::string shown = answer.ok ? "OK, action " + std::to_string(dlg->actionIndex) : "Cancel";
    if (answer.ok && dlg->makeDefault) shown += ", default";
    WriteStderr("  answer: " + shown + " (" + source + ")\n");
    return answer.ok ? kDialogOk : kDialogCancel;
}

// Only 1 means OK. On OK the conduit reads the action index, of which only 1
// and 2 carry a meaning (any other is Do nothing), and the make-default
// switch, of which only zero or not counts. After a cancel it reads nothing.
int32_t HostileOutcome(int32_t result, HotSyncActionDlg *dlg) {
    if (!Hostile() || dlg == nullptr) return result;
    if (result == kDialogOk) {
        if (dlg->actionIndex != 1 && dlg->actionIndex != 2)
            dlg->actionIndex = HostileExcept({1, 2});
        if (dlg->makeDefault != 0) dlg->makeDefault = HostileExcept({0});
        return result;
    }
    dlg->actionIndex = HostileAny();
    dlg->makeDefault = HostileAny();
    return HostileExcept({kDialogOk});
}

int32_t Construct(HotSyncActionDlg *dlg, void *parent) {
    if (!dlg) return kStandinErrBadArgument;
    dlg->parent = parent;
    dlg->conduitName = nullptr;
    // The switch and the index start as the library likes; the caller sets the index.
    dlg->actionIndex = Hostile() ? HostileAny() : 0;
    dlg->makeDefault = Hostile() ? HostileAny() : 0;
    dlg->impl = new DialogImpl();
    ++LiveDialogs();
    return 0;
}

}  // namespace

void ResetAnswers() { Answers() = AnswerList(); }
void ResetDialogs() { LiveDialogs() = 0; }

}  // namespace standin

extern "C" {

void StandinSetAnswers(const char *answers) {
    standin::Answers().tokens = standin::ParseList(answers ? answers : "");
    standin::Answers().next = 0;
}

void StandinSetTerminalAnswers(int enabled) { standin::Answers().terminal = enabled != 0; }

int32_t WIN_CALL MessageBoxA(void *owner, const char *text, const char *caption, uint32_t style) {
    auto outcome = [](int32_t answer, bool injected) { return injected ? 0 : answer; };
    return standin::Call("MessageBoxA", [=] { return standin::ShowBox(caption, text, style); },
                         outcome, owner ? "owner" : "(null)", text, caption, style);
}

int32_t HS_CALL InitPdcmn5DLL(void) {
    return standin::Call("InitPdcmn5DLL", [] { return 0; }, standin::Unexamined);
}

int32_t HS_CALL ConstructHotSyncActionDlg(HotSyncActionDlg *dlg, void *parent) {
    return standin::Call(
        "ConstructHotSyncActionDlg", [=] { return standin::Construct(dlg, parent); },
        standin::Status(), parent ? "parent" : "(null)");
}

int32_t HS_CALL RunHotSyncActionDlg(HotSyncActionDlg *dlg) {
    auto outcome = [=](int32_t status, bool injected) {
        if (injected) return standin::FailureStatus(status, kDialogOk);
        return standin::HostileOutcome(status, dlg);
    };
    // What the dialog showed, then the action and switch it left.
    const HotSyncActionDlg shown = dlg ? *dlg : HotSyncActionDlg{};
    auto described = [=] {
        if (!dlg) return standin::Described("(null)");
        return standin::Described(shown.conduitName, shown.actionIndex, shown.makeDefault,
                                  dlg->actionIndex, dlg->makeDefault);
    };
    return standin::Call("RunHotSyncActionDlg", [=] { return standin::RunDialog(dlg); }, outcome,
                         described);
}

// Cannot report a failure: a fault is counted and traced, and the dialog is
// destroyed all the same so that nothing leaks.
void HS_CALL DestroyHotSyncActionDlg(HotSyncActionDlg *dlg) {
    auto destroy = [=] {
        if (dlg && dlg->impl) {
            delete static_cast<standin::DialogImpl *>(dlg->impl);
            dlg->impl = nullptr;
            --standin::LiveDialogs();
        }
        return 0;
    };
    auto outcome = [=](int, bool injected) { return injected ? destroy() : 0; };
    standin::Call("DestroyHotSyncActionDlg", destroy, outcome);
}

int StandinLiveDialogCount(void) { return standin::LiveDialogs(); }

}  // extern "C"
