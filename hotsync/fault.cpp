// Fault table: which call of which operation answers which status. Every
// stand-in operation asks here first (trace.h), so a test can walk a failure
// through each call a program makes (fail the 1st, then the 2nd, ... until
// none fires). HOTSYNC_FAIL fills it when the library is loaded.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "hostile.h"
#include "standin.h"
#include "trace.h"

namespace {

struct Fault {
    int nth;
    int32_t status;
    bool persistent;
};

// Every call looks its name up here: taken as it comes, ordered by length
// first, since most names differ in length and so seldom compare their bytes.
struct ByName {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    }
};

struct FaultTable {
    std::map<std::string, Fault, ByName> faults;
    std::map<std::string, int, ByName> calls;
    int injected = 0;
    int32_t lastFailure = 0;
};

FaultTable &Table() {
    static FaultTable table;
    return table;
}

// "Operation:nth:status[:persistent]"
bool ApplyFailEntry(const std::string &entry) {
    std::vector<std::string> parts = standin::Split(entry, ':');
    if (parts.size() < 3 || parts.size() > 4 || parts[0].empty()) return false;
    long long nth = 0, status = 0;
    if (!standin::ParseInteger(parts[1], 0, 1, INT32_MAX, &nth)) return false;
    // Statuses are 32-bit; accept unsigned spellings such as 0xFFFFFFFF too.
    if (!standin::ParseInteger(parts[2], 0, INT32_MIN, UINT32_MAX, &status)) return false;
    if (parts.size() == 4 && parts[3] != "persistent" && parts[3] != "p" && parts[3] != "1")
        return false;
    StandinFailCall(parts[0].c_str(), static_cast<int>(nth),
                    static_cast<int32_t>(static_cast<uint32_t>(status)), parts.size() == 4);
    return true;
}

// Faults named in the environment hold from the first call on, whichever
// operation comes first, so they are applied when the library is loaded.
const bool kEnvironmentFaults = [] {
    const std::string list = standin::Environment("HOTSYNC_FAIL");
    return list.empty() || StandinApplyFailList(list.c_str()) == 0;
}();

}  // namespace

void standin::NoteFailure(int32_t status) { Table().lastFailure = status; }

extern "C" {

void StandinFailCall(const char *operation, int nth, int32_t status, int persistent) {
    Table().faults[operation] = Fault{nth, status, persistent != 0};
}

void StandinClearFaults(void) { Table() = FaultTable(); }

int StandinCallCount(const char *operation) {
    auto &calls = Table().calls;
    auto it = calls.find(operation);
    return it == calls.end() ? 0 : it->second;
}

int StandinInjectedCount(void) { return Table().injected; }

int32_t StandinLastFailure(void) { return Table().lastFailure; }

int StandinShouldFail(const char *operation, int32_t *status) {
    FaultTable &t = Table();
    const std::string_view name(operation);
    auto counted = t.calls.find(name);
    if (counted == t.calls.end()) counted = t.calls.emplace(name, 0).first;
    const int call = ++counted->second;
    auto it = t.faults.find(name);
    if (it == t.faults.end()) return 0;
    const Fault &f = it->second;
    if (call != f.nth && !(f.persistent && call > f.nth)) return 0;
    ++t.injected;
    if (status) *status = f.status;
    return 1;
}

void StandinReset(void) {
    Table() = FaultTable();
    standin::ResetHostile();
    standin::ResetSyncManager();
    StandinSetLogFile(nullptr);
    StandinClearLog();
    standin::ResetAnswers();
    standin::ResetDialogs();
    StandinSetRoot(nullptr);
}

int StandinApplyFailList(const char *list) {
    if (!list) return kStandinErrBadArgument;
    int status = 0;
    for (const std::string &entry : standin::Split(list, ',')) {
        if (!entry.empty() && !ApplyFailEntry(entry)) {
            standin::WriteStderr("hotsync stand-in: ignoring fault entry \"" + entry +
                                 "\" (expected Operation:nth:status[:persistent])\n");
            status = kStandinErrBadArgument;
        }
    }
    return status;
}

}  // extern "C"
