// The answers list, and MessageBoxA, which takes its answers from it.
#include "answers.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "standin.h"
#include "standin_extra.h"
#include "trace.h"

namespace standin {

namespace {

struct AnswerList {
    bool loaded = false;
    bool terminal = true;
    std::vector<std::string> tokens;
    size_t next = 0;
};

AnswerList &Answers() {
    static AnswerList list;
    return list;
}

std::string Normalize(const std::string &text) {
    const char *blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(blanks);
    std::string result = text.substr(first, last - first + 1);
    for (char &c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

void SetList(const char *list) {
    AnswerList &answers = Answers();
    answers.loaded = true;
    answers.tokens.clear();
    answers.next = 0;
    if (!list || !*list) return;
    std::string text(list);
    size_t start = 0;
    for (;;) {
        size_t end = text.find(',', start);
        answers.tokens.push_back(Normalize(text.substr(start, end == std::string::npos ? end : end - start)));
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

struct Button {
    const char *name;
    int32_t id;
};

std::vector<Button> ButtonsFor(uint32_t style) {
    switch (style & 0xF) {
        case 1: return {{"OK", kIdOk}, {"Cancel", kIdCancel}};
        case 2: return {{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}};
        case 3: return {{"Yes", kIdYes}, {"No", kIdNo}, {"Cancel", kIdCancel}};
        case 4: return {{"Yes", kIdYes}, {"No", kIdNo}};
        case 5: return {{"Retry", 4}, {"Cancel", kIdCancel}};
        default: return {{"OK", kIdOk}};
    }
}

size_t DefaultButton(uint32_t style, const std::vector<Button> &buttons) {
    size_t index = (style >> 8) & 0xF;
    return index < buttons.size() ? index : 0;
}

std::string ButtonLine(const std::vector<Button> &buttons, size_t defaultIndex) {
    std::string line;
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (i) line += " | ";
        line += buttons[i].name;
        if (i == defaultIndex) line += " (default)";
    }
    return line;
}

// 0 when the token names no button of this box; "enter" and "" pick the default.
int32_t MatchButton(const std::string &token, const std::vector<Button> &buttons,
                    size_t defaultIndex) {
    if (token.empty() || token == "enter") return buttons[defaultIndex].id;
    for (const Button &button : buttons) {
        if (Normalize(button.name) == token) return button.id;
    }
    return 0;
}

const char *ButtonName(int32_t id, const std::vector<Button> &buttons) {
    for (const Button &button : buttons) {
        if (button.id == id) return button.name;
    }
    return "?";
}

int32_t AskBoxOnTerminal(const std::vector<Button> &buttons, size_t defaultIndex) {
    std::string question = "  answer (" + ButtonLine(buttons, defaultIndex) +
                           "; Enter = " + buttons[defaultIndex].name + "): ";
    std::string line;
    while (AskTerminal(question, &line)) {
        int32_t answer = MatchButton(line, buttons, defaultIndex);
        if (answer != 0) return answer;
    }
    return buttons[defaultIndex].id;
}

int32_t ChooseBoxAnswer(const std::vector<Button> &buttons, size_t defaultIndex,
                        std::string *source) {
    std::string token;
    if (TakeAnswer(&token)) {
        *source = "answers list";
        int32_t answer = MatchButton(token, buttons, defaultIndex);
        if (answer != 0) return answer;
        *source = "default button; \"" + token + "\" names no button of this box";
        return buttons[defaultIndex].id;
    }
    if (TerminalAnswers()) {
        *source = "terminal";
        return AskBoxOnTerminal(buttons, defaultIndex);
    }
    *source = "default button";
    return buttons[defaultIndex].id;
}

struct BoxRecord {
    std::string title;
    std::string text;
    uint32_t style;
    int32_t answer;
};

std::vector<BoxRecord> &Boxes() {
    static std::vector<BoxRecord> boxes;
    return boxes;
}

void LogBox(const std::string &title, const std::string &text, uint32_t style, int32_t answer) {
    const char *path = std::getenv("HOTSYNC_BOX_LOG");
    if (!path || !*path) return;
    AppendLine(path, EscapeField(title) + "\t" + EscapeField(text) + "\t" +
                         std::to_string(style) + "\t" + std::to_string(answer) + "\n");
}

int32_t ShowBox(const std::string &title, const std::string &text, uint32_t style) {
    std::vector<Button> buttons = ButtonsFor(style);
    size_t defaultIndex = DefaultButton(style, buttons);
    WriteStderr("\n[" + title + "] " + text + "\n  buttons: " +
                ButtonLine(buttons, defaultIndex) + "\n");
    std::string source;
    int32_t answer = ChooseBoxAnswer(buttons, defaultIndex, &source);
    WriteStderr("  answer: " + std::string(ButtonName(answer, buttons)) + " (" + source + ")\n");
    Boxes().push_back({title, text, style, answer});
    return answer;
}

const BoxRecord *BoxAt(size_t index) {
    const std::vector<BoxRecord> &boxes = Boxes();
    return index < boxes.size() ? &boxes[index] : nullptr;
}

}  // namespace

bool TakeAnswer(std::string *token) {
    AnswerList &answers = Answers();
    if (!answers.loaded) SetList(std::getenv("HOTSYNC_ANSWERS"));
    if (answers.next >= answers.tokens.size()) return false;
    *token = answers.tokens[answers.next++];
    return true;
}

bool TerminalAnswers() { return Answers().terminal && isatty(0) == 1; }

bool AskTerminal(const std::string &question, std::string *answer) {
    WriteStderr(question);
    std::string line;
    for (;;) {
        char c = 0;
        ssize_t n = read(0, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') break;
        line += c;
    }
    *answer = Normalize(line);
    return true;
}

}  // namespace standin

extern "C" {

void StandinSetAnswers(const char *answers) { standin::SetList(answers); }

void StandinSetTerminalAnswers(int enabled) { standin::Answers().terminal = enabled != 0; }

size_t StandinBoxCount(void) { return standin::Boxes().size(); }

const char *StandinBoxTitle(size_t index) {
    const standin::BoxRecord *box = standin::BoxAt(index);
    return box ? box->title.c_str() : nullptr;
}

const char *StandinBoxText(size_t index) {
    const standin::BoxRecord *box = standin::BoxAt(index);
    return box ? box->text.c_str() : nullptr;
}

uint32_t StandinBoxStyle(size_t index) {
    const standin::BoxRecord *box = standin::BoxAt(index);
    return box ? box->style : 0;
}

int32_t StandinBoxAnswer(size_t index) {
    const standin::BoxRecord *box = standin::BoxAt(index);
    return box ? box->answer : 0;
}

void StandinClearBoxes(void) { standin::Boxes().clear(); }

int32_t WIN_CALL MessageBoxA(void *owner, const char *text, const char *caption, uint32_t style) {
    int32_t status = 0;
    bool injected = standin::Injected("MessageBoxA", &status);
    // Windows shows "Error" for a missing caption.
    std::string title = caption ? caption : "Error";
    std::string body = text ? text : "";
    int32_t answer = injected ? 0 : standin::ShowBox(title, body, style);
    standin::LogBox(title, body, style, answer);
    standin::TraceCall("MessageBoxA", injected, answer,
                       {owner ? "owner" : "(null)", standin::TextArgument(text),
                        standin::TextArgument(caption), std::to_string(style)});
    return answer;
}

}  // extern "C"
