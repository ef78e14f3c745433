// Fault table: which call of which operation answers which status. Every
// stand-in operation asks here first, so a test can walk a failure through
// each call a program makes (fail the 1st, then the 2nd, ... until none fires).
#include <map>
#include <string>

#include "standin.h"

namespace {

struct Fault {
    int nth;
    int32_t status;
    bool persistent;
};

struct FaultTable {
    std::map<std::string, Fault> faults;
    std::map<std::string, int> calls;
    int injected = 0;
};

FaultTable &Table() {
    static FaultTable table;
    return table;
}

}  // namespace

extern "C" {

void StandinFailCall(const char *operation, int nth, int32_t status, int persistent) {
    Table().faults[operation] = Fault{nth, status, persistent != 0};
}

void StandinClearFaults(void) {
    FaultTable &t = Table();
    t.faults.clear();
    t.calls.clear();
    t.injected = 0;
}

int StandinCallCount(const char *operation) {
    auto &calls = Table().calls;
    auto it = calls.find(operation);
    return it == calls.end() ? 0 : it->second;
}

int StandinInjectedCount(void) { return Table().injected; }

int StandinShouldFail(const char *operation, int32_t *status) {
    FaultTable &t = Table();
    int call = ++t.calls[operation];
    auto it = t.faults.find(operation);
    if (it == t.faults.end()) return 0;
    const Fault &f = it->second;
    if (call != f.nth && !(f.persistent && call > f.nth)) return 0;
    ++t.injected;
    if (status) *status = f.status;
    return 1;
}

}  // extern "C"
