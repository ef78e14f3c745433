// Fault table: which call of which operation answers which status. Every
// stand-in operation asks here first, so a test can walk a failure through
// each call a program makes (fail the 1st, then the 2nd, ... until none fires).
#include <string.h>

#include <map>
#include <string>

#include "hostile.h"
#include "standin.h"
#include "standin_extra.h"

namespace {

struct Fault {
    int nth;
    int32_t status;
    bool persistent;
};

// Every stand-in call counts itself here, so the lookup must cost little
// beside the call: keys are found by the caller's C string as it is
// (std::less<>), and the counter last used is kept with the address of the
// name it was found by. Callers pass literals, so a record loop, which calls
// one operation over and over, finds its counter at once.
struct FaultTable {
    std::map<std::string, Fault, std::less<>> faults;
    std::map<std::string, int, std::less<>> calls;
    const char *lastName = nullptr;
    std::map<std::string, int, std::less<>>::iterator last;
    int injected = 0;
    int32_t lastFailure = 0;
};

FaultTable &Table() {
    static FaultTable table;
    return table;
}

int *CallCounter(FaultTable *t, const char *operation) {
    // The same address may hold another name by now: compare the text too.
    if (t->lastName != nullptr && operation == t->lastName &&
        strcmp(t->last->first.c_str(), operation) == 0)
        return &t->last->second;
    auto it = t->calls.find(operation);
    if (it == t->calls.end()) it = t->calls.emplace(operation, 0).first;
    t->lastName = operation;
    t->last = it;
    return &it->second;
}

}  // namespace

void standin::NoteFailure(int32_t status) { Table().lastFailure = status; }

extern "C" {

void StandinFailCall(const char *operation, int nth, int32_t status, int persistent) {
    Table().faults[operation] = Fault{nth, status, persistent != 0};
}

void StandinClearFaults(void) {
    FaultTable &t = Table();
    t.faults.clear();
    t.calls.clear();
    t.lastName = nullptr;
    t.injected = 0;
    t.lastFailure = 0;
}

int StandinCallCount(const char *operation) {
    auto &calls = Table().calls;
    auto it = calls.find(operation);
    return it == calls.end() ? 0 : it->second;
}

int StandinInjectedCount(void) { return Table().injected; }

int32_t StandinLastFailure(void) { return Table().lastFailure; }

int StandinShouldFail(const char *operation, int32_t *status) {
    FaultTable &t = Table();
    int call = ++*CallCounter(&t, operation);
    if (t.faults.empty()) return 0;
    auto it = t.faults.find(operation);
    if (it == t.faults.end()) return 0;
    const Fault &f = it->second;
    if (call != f.nth && !(f.persistent && call > f.nth)) return 0;
    ++t.injected;
    if (status) *status = f.status;
    return 1;
}

}  // extern "C"
