// The progress line: one line on standard error, rewritten in place, shown
// only when standard error is a terminal.
#include <chrono>
#include <cstdio>

#include "host_os.h"
#include "standin.h"
#include "sync_run.h"

namespace host {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(50);

struct ProgressLine {
    bool active = false;
    bool drawn = false;
    std::string label;
    std::chrono::steady_clock::time_point lastDraw;
};

ProgressLine &Line() {
    static ProgressLine line;
    return line;
}

void Draw(const std::string &text) {
    ProgressLine &line = Line();
    std::fprintf(stderr, "\r%s: %s\033[K", line.label.c_str(), text.c_str());
    std::fflush(stderr);
    line.drawn = true;
    line.lastDraw = std::chrono::steady_clock::now();
}

void OnRecord(const char *database, const char *operation, unsigned done, unsigned total) {
    ProgressLine &line = Line();
    bool last = total != 0 && done == total;
    if (line.drawn && !last && std::chrono::steady_clock::now() - line.lastDraw < kRedrawInterval) {
        return;
    }
    std::string text = std::string(operation ? operation : "?") + " " + (database ? database : "?") +
                       ", record " + std::to_string(done);
    if (total != 0) text += " of " + std::to_string(total);
    Draw(text);
}

}  // namespace

void BeginProgress(const std::string &label) {
    ProgressLine &line = Line();
    line = ProgressLine();
    if (!os::ProgressTerminal()) return;
    line.active = true;
    line.label = label;
    StandinSetProgressHook(OnRecord);
}

void EndProgress() {
    ProgressLine &line = Line();
    StandinSetProgressHook(nullptr);
    if (line.drawn) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    line = ProgressLine();
}

void HS_CALL ConduitProgress(const char *text) {
    if (Line().active && text) Draw(ToTerminal(text));
}

}  // namespace host
