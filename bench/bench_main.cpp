// lenfol_bench: how long a HotSync takes through the conduit and the stand-in,
// how much of it is the conduit's own, against the bare fgets loop and against
// Palm::PDB doing the same work; and, under callgrind, the same split in
// instructions. Prints markdown tables.
//
//   lenfol_bench [--sizes 1000,10000,65535] [--shapes typical,full]
//                [--repeats 5] [--work DIR] [--keep] [--no-perl] [--no-callgrind]
//   lenfol_bench --gate PERCENT [--sizes N] [--shapes S]
//
// The conduit's share is the HotSync's time less the time spent inside the
// stand-in's sync-manager and log calls, which the wrappers of
// standin_meter.cpp add up; each wrapped call also leaves about one clock read
// outside its measured span, and that is taken off too (calibrated at start).
// The whole HotSync is timed in a run of its own, without those clock reads.
//
// --gate counts instructions only, and fails (exit 1) when the stand-in's
// share of any HotSync exceeds PERCENT of the conduit's.
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench_common.h"
#include "bench_run.h"
#include "standin.h"
#include "standin_meter.h"

namespace {

struct Options {
    std::vector<uint32_t> sizes{1000, 10000, 65535};
    std::vector<Shape> shapes{Shape::Typical, Shape::Full};
    int repeats = 5;
    std::string work;
    bool keep = false;
    bool perl = true;
    bool callgrind = true;
    double gate = 0;  // percent; 0: no gate
    std::string conduitPath = LENFOL_DLL_PATH;
    std::string peerScript = LENFOL_BENCH_PEER;
    // Internal: the run that lenfol_bench starts under callgrind.
    bool callgrindChild = false;
};

// Milliseconds of each repeat.
typedef std::vector<double> Samples;

struct CaseResult {
    BenchCase bench;
    Samples bare, importWhole, importShare, exportWhole, exportShare, peerBuild, peerRead;
    std::map<std::string, uint64_t> instructions;  // by callgrind part
};

const char *const kCallgrindParts[] = {"bare", "import-conduit", "import-whole", "export-conduit",
                                       "export-whole"};

int Usage() {
    std::fprintf(stderr,
                 "usage: lenfol_bench [--sizes N,N,...] [--shapes typical,full] [--repeats N]\n"
                 "                    [--work DIR] [--keep] [--no-perl] [--no-callgrind]\n"
                 "                    [--conduit Lenfol.dll] [--peer palm_pdb_peer.pl]\n"
                 "       lenfol_bench --gate PERCENT [--sizes N,...] [--shapes S,...]\n");
    return 2;
}

bool ParseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--sizes" && hasValue) {
            if (!ParseSizes(argv[++i], &o->sizes)) return false;
        } else if (arg == "--shapes" && hasValue) {
            if (!ParseShapes(argv[++i], &o->shapes)) return false;
        } else if (arg == "--repeats" && hasValue) {
            o->repeats = std::atoi(argv[++i]);
            if (o->repeats < 1) return false;
        } else if (arg == "--gate" && hasValue) {
            o->gate = std::atof(argv[++i]);
            if (o->gate <= 0) return false;
        } else if (arg == "--work" && hasValue) {
            o->work = argv[++i];
        } else if (arg == "--conduit" && hasValue) {
            o->conduitPath = argv[++i];
        } else if (arg == "--peer" && hasValue) {
            o->peerScript = argv[++i];
        } else if (arg == "--keep") {
            o->keep = true;
        } else if (arg == "--no-perl") {
            o->perl = false;
        } else if (arg == "--no-callgrind") {
            o->callgrind = false;
        } else if (arg == "--callgrind-child") {
            o->callgrindChild = true;
        } else {
            return false;
        }
    }
    return true;
}

// ---- Measuring ------------------------------------------------------------

// What one clock read costs: each wrapped stand-in call leaves about one read
// outside the span it measures, on the conduit's side.
double ClockReadNanos() {
    const int kReads = 100000;
    double best = 1e9;
    for (int round = 0; round < 7; ++round) {
        int64_t last = 0;
        const int64_t start = NowNanos();
        for (int i = 0; i < kReads; ++i) last = NowNanos();
        best = std::min(best, double(last - start) / kReads);
    }
    return best;
}

// One HotSync from a fresh copy of the generated files, in milliseconds. With
// `shareMs`, every stand-in call is timed too and *shareMs is the conduit's
// share; those clock reads lengthen the HotSync, so the whole is timed
// without them (shareMs null).
bool TimeHotSync(const Conduit &conduit, const BenchCase &bench, const std::string &root,
                 int32_t syncType, double clockRead, double *ms, double *shareMs) {
    if (!PrepareHotSync(bench, root)) return false;
    HotSyncRun run;
    SetUpHotSync(conduit, root, syncType, &run);
    StandinMeter &m = g_standinMeter;
    m.standinNanos = 0;
    m.calls = 0;
    m.timeCalls = shareMs != nullptr;
    m.measuring = true;
    const int64_t start = NowNanos();
    const int32_t status = RunHotSync(&run);
    const int64_t end = NowNanos();
    m.measuring = false;
    m.timeCalls = false;
    std::string why;
    if (!HotSyncSucceeded(status, &why)) {
        std::fprintf(stderr, "bench: %s HotSync of %s failed: %s\n",
                     syncType == kSyncTypeDesktopToHandheld ? "import" : "export",
                     bench.Name().c_str(), why.c_str());
        return false;
    }
    const double whole = double(end - start);
    *ms = whole / 1e6;
    if (shareMs != nullptr)
        *shareMs = (whole - double(m.standinNanos) - double(m.calls) * clockRead) / 1e6;
    return true;
}

std::string Quoted(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the Palm::PDB peer; its own clock starts after perl has loaded the
// module, so interpreter start-up is not held against it.
bool RunPeer(const Options &o, const char *mode, const std::string &in, const std::string &out,
             double *ms) {
    const std::string command =
        "perl " + Quoted(o.peerScript) + " " + mode + " " + Quoted(in) + " " + Quoted(out);
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    double seconds = -1;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::sscanf(line, "seconds %lf", &seconds);
    }
    const int status = pclose(pipe);
    if (status != 0 || seconds < 0) {
        std::fprintf(stderr, "bench: %s failed\n", command.c_str());
        return false;
    }
    *ms = seconds * 1e3;
    return true;
}

// Before anything is timed: each direction, and the peer, does the whole job
// on this list (an output is compared with what was generated, so a run that
// did nothing cannot pass).
bool CheckCase(const Options &o, const Conduit &conduit, const BenchCase &bench,
               const std::string &root) {
    std::string why;
    HotSyncRun run;
    if (!PrepareHotSync(bench, root)) return false;
    std::remove((DesktopDir(root) + "Cameras.txt").c_str());
    SetUpHotSync(conduit, root, kSyncTypeHandheldToDesktop, &run);
    if (!HotSyncSucceeded(RunHotSync(&run), &why) ||
        !SameContent(DesktopDir(root) + "Cameras.txt", bench.CamerasTxt())) {
        std::fprintf(stderr, "bench: export of %s is wrong %s\n", bench.Name().c_str(), why.c_str());
        return false;
    }
    if (!PrepareHotSync(bench, root)) return false;
    // An empty database to start from: the import must fill it.
    const std::string handheldPdb = HandheldDir(root) + "/LenfolDB.pdb";
    if (!WriteLenfolPdb(handheldPdb, bench.shape, 0)) return false;
    SetUpHotSync(conduit, root, kSyncTypeDesktopToHandheld, &run);
    if (!HotSyncSucceeded(RunHotSync(&run), &why) ||
        !PdbHoldsList(handheldPdb, bench.shape, bench.records, &why)) {
        std::fprintf(stderr, "bench: import of %s is wrong: %s\n", bench.Name().c_str(), why.c_str());
        return false;
    }
    if (!o.perl) return true;
    double ms = 0;
    const std::string peerPdb = root + "/peer.pdb", peerTxt = root + "/peer.txt";
    if (!RunPeer(o, "build", bench.CamerasTxt(), peerPdb, &ms) ||
        !PdbHoldsList(peerPdb, bench.shape, bench.records, &why)) {
        std::fprintf(stderr, "bench: Palm::PDB build of %s is wrong: %s\n", bench.Name().c_str(),
                     why.c_str());
        return false;
    }
    if (!RunPeer(o, "read", bench.LenfolPdb(), peerTxt, &ms) ||
        !SameContent(peerTxt, bench.CamerasTxt())) {
        std::fprintf(stderr, "bench: Palm::PDB read of %s is wrong\n", bench.Name().c_str());
        return false;
    }
    return true;
}

bool TimeCase(const Options &o, const Conduit &conduit, double clockRead, CaseResult *result) {
    const BenchCase &bench = result->bench;
    const std::string root = o.work + "/run-" + bench.Name();
    if (!CheckCase(o, conduit, bench, root)) return false;
    for (int r = 0; r < o.repeats; ++r) {
        const int64_t bare = BareLoop(bench.CamerasTxt(), root + "/bare.txt");
        if (bare < 0) return false;
        result->bare.push_back(bare / 1e6);
        for (const int32_t type : {kSyncTypeDesktopToHandheld, kSyncTypeHandheldToDesktop}) {
            const bool import = type == kSyncTypeDesktopToHandheld;
            double whole = 0, timed = 0, share = 0;
            if (!TimeHotSync(conduit, bench, root, type, clockRead, &timed, &share) ||
                !TimeHotSync(conduit, bench, root, type, clockRead, &whole, nullptr))
                return false;
            (import ? result->importWhole : result->exportWhole).push_back(whole);
            (import ? result->importShare : result->exportShare).push_back(share);
        }
        if (!o.perl) continue;
        double ms = 0;
        if (!RunPeer(o, "build", bench.CamerasTxt(), root + "/peer.pdb", &ms)) return false;
        result->peerBuild.push_back(ms);
        if (!RunPeer(o, "read", bench.LenfolPdb(), root + "/peer.txt", &ms)) return false;
        result->peerRead.push_back(ms);
    }
    RemoveTree(root);
    return true;
}

// ---- Callgrind ------------------------------------------------------------

void CallgrindHotSync(const Conduit &conduit, const BenchCase &bench, const std::string &root,
                      int32_t syncType, bool conduitOnly, const char *part) {
    if (!PrepareHotSync(bench, root)) std::exit(1);
    HotSyncRun run;
    SetUpHotSync(conduit, root, syncType, &run);
    StandinMeter &m = g_standinMeter;
    m.toggleCallgrind = conduitOnly;
    m.measuring = true;
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    const int32_t status = RunHotSync(&run);
    CALLGRIND_TOGGLE_COLLECT;
    m.measuring = false;
    m.toggleCallgrind = false;
    CALLGRIND_DUMP_STATS_AT(part);
    std::string why;
    if (!HotSyncSucceeded(status, &why)) {
        std::fprintf(stderr, "bench: %s under callgrind failed: %s\n", part, why.c_str());
        std::exit(1);
    }
}

// Inside valgrind: one list, each part once, each dumped under its name.
int CallgrindChild(const Options &o, const Conduit &conduit) {
    BenchCase bench;
    bench.shape = o.shapes.front();
    bench.records = o.sizes.front();
    bench.dataDir = o.work + "/data-" + bench.Name();
    const std::string root = o.work + "/callgrind-" + bench.Name();

    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    const int64_t bare = BareLoop(bench.CamerasTxt(), root + "-bare.txt");
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT("bare");
    if (bare < 0) return 1;
    CallgrindHotSync(conduit, bench, root, kSyncTypeDesktopToHandheld, true, "import-conduit");
    CallgrindHotSync(conduit, bench, root, kSyncTypeDesktopToHandheld, false, "import-whole");
    CallgrindHotSync(conduit, bench, root, kSyncTypeHandheldToDesktop, true, "export-conduit");
    CallgrindHotSync(conduit, bench, root, kSyncTypeHandheldToDesktop, false, "export-whole");
    RemoveTree(root);
    std::remove((root + "-bare.txt").c_str());
    return 0;
}

bool HaveValgrind() { return std::system("valgrind --version >/dev/null 2>&1") == 0; }

// Each dump file names its part in its "desc: Trigger: Client Request:" line
// and gives its instruction count in its "totals:" line.
void ReadCallgrindDumps(const std::string &dir, std::map<std::string, uint64_t> *out) {
    const std::string trigger = "desc: Trigger: Client Request: ";
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path());
        std::string line, part;
        uint64_t total = 0;
        bool haveTotal = false;
        while (std::getline(in, line)) {
            if (line.compare(0, trigger.size(), trigger) == 0) part = line.substr(trigger.size());
            if (line.compare(0, 8, "totals: ") == 0 || line.compare(0, 9, "summary: ") == 0) {
                total = std::strtoull(line.c_str() + line.find(' ') + 1, nullptr, 10);
                haveTotal = true;
            }
        }
        if (!part.empty() && haveTotal) (*out)[part] = total;
    }
}

// The child runs with PATH alone in its environment (and LD_LIBRARY_PATH when
// set, to measure another build of the stand-in): every stand-in call looks
// HOTSYNC_TRACE up there, so the counts would grow with the caller's
// environment.
std::string FixedEnvironment() {
    std::string env = "env -i";
    for (const char *name : {"PATH", "LD_LIBRARY_PATH"}) {
        const char *value = std::getenv(name);
        if (value != nullptr) env += std::string(" ") + name + "=" + Quoted(value);
    }
    return env;
}

bool CallgrindCase(const Options &o, CaseResult *result) {
    const BenchCase &bench = result->bench;
    const std::string dir = o.work + "/callgrind-out-" + bench.Name();
    RemoveTree(dir);
    if (!MakeDirs(dir)) return false;
    const std::string command =
        FixedEnvironment() +
        " valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=" +
        Quoted(dir + "/cg.out") + " /proc/" + std::to_string(getpid()) + "/exe" +
        " --callgrind-child --shapes " + ShapeName(bench.shape) + " --sizes " +
        std::to_string(bench.records) + " --work " + Quoted(o.work) + " --conduit " +
        Quoted(o.conduitPath) + " >" + Quoted(dir + "/valgrind.log") + " 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench: callgrind run of %s failed; see %s/valgrind.log\n",
                     bench.Name().c_str(), dir.c_str());
        return false;
    }
    ReadCallgrindDumps(dir, &result->instructions);
    for (const char *part : kCallgrindParts) {
        if (result->instructions.count(part) == 0) {
            std::fprintf(stderr, "bench: no callgrind dump for %s of %s\n", part,
                         bench.Name().c_str());
            return false;
        }
    }
    return true;
}

// ---- Printing ---------------------------------------------------------------

double Median(Samples s) {
    std::sort(s.begin(), s.end());
    const size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

int DecimalsFor(double value) { return value < 10 ? 2 : value < 100 ? 1 : 0; }

// "median (min–max)"
std::string Spread(const Samples &s) {
    if (s.empty()) return "–";
    const double med = Median(s);
    const double lo = *std::min_element(s.begin(), s.end());
    const double hi = *std::max_element(s.begin(), s.end());
    const int d = DecimalsFor(med);
    return Fixed(med, d) + " (" + Fixed(lo, d) + "–" + Fixed(hi, d) + ")";
}

// Ratios of paired repeats: min / median / max.
std::string RatioSpread(const Samples &num, const Samples &den) {
    Samples ratios;
    for (size_t i = 0; i < num.size() && i < den.size(); ++i) ratios.push_back(num[i] / den[i]);
    if (ratios.empty()) return "–";
    const double med = Median(ratios);
    const int d = med < 10 ? 2 : 1;
    return Fixed(*std::min_element(ratios.begin(), ratios.end()), d) + " / " + Fixed(med, d) +
           " / " + Fixed(*std::max_element(ratios.begin(), ratios.end()), d);
}

std::string Megabytes(uint64_t bytes) { return Fixed(bytes / 1e6, bytes < 10e6 ? 2 : 1) + " MB"; }

// A markdown table under `title`: the list and its size, then a column a
// heading, and a row a case with the cells `cells` gives it (none: no row).
void PrintTable(const std::string &title, const std::vector<const char *> &headings,
                const std::vector<CaseResult> &results,
                const std::function<std::vector<std::string>(const CaseResult &)> &cells) {
    std::string heading = "| list | records |", rule = "|---|--:|";
    for (const char *h : headings) {
        heading += std::string(" ") + h + " |";
        rule += "--:|";
    }
    std::printf("\n### %s\n\n%s\n%s\n", title.c_str(), heading.c_str(), rule.c_str());
    for (const CaseResult &r : results) {
        const std::vector<std::string> shown = cells(r);
        if (shown.empty()) continue;
        std::string row =
            std::string("| ") + ShapeName(r.bench.shape) + " | " + Grouped(r.bench.records) + " |";
        for (const std::string &cell : shown) row += " " + cell + " |";
        std::printf("%s\n", row.c_str());
    }
}

void PrintTimes(const Options &o, const std::vector<CaseResult> &results) {
    PrintTable("Wall time of one run, ms: median (min–max) over " + std::to_string(o.repeats) +
                   " repeats",
               {"Cameras.txt", "bare loop", "import HotSync", "import conduit", "export HotSync",
                "export conduit", "Palm::PDB build", "Palm::PDB read"},
               results, [](const CaseResult &r) {
                   return std::vector<std::string>{
                       Megabytes(r.bench.facts.textBytes), Spread(r.bare), Spread(r.importWhole),
                       Spread(r.importShare), Spread(r.exportWhole), Spread(r.exportShare),
                       Spread(r.peerBuild), Spread(r.peerRead)};
               });
}

void PrintRatios(const Options &o, const std::vector<CaseResult> &results) {
    PrintTable("Ratios of paired repeats: min / median / max over " + std::to_string(o.repeats) +
                   " repeats",
               {"import conduit ÷ bare loop", "export conduit ÷ bare loop",
                "Palm::PDB build ÷ import HotSync", "Palm::PDB read ÷ export HotSync"},
               results, [](const CaseResult &r) {
                   return std::vector<std::string>{
                       RatioSpread(r.importShare, r.bare), RatioSpread(r.exportShare, r.bare),
                       RatioSpread(r.peerBuild, r.importWhole),
                       RatioSpread(r.peerRead, r.exportWhole)};
               });
}

void PrintInstructions(const std::vector<CaseResult> &results) {
    PrintTable("Callgrind instructions (Ir) of one run; conduit = stand-in calls excluded",
               {"bare loop", "import conduit", "per line", "÷ bare", "import HotSync",
                "export conduit", "per line", "÷ bare", "export HotSync"},
               results, [](const CaseResult &r) {
                   if (r.instructions.empty()) return std::vector<std::string>{};
                   auto ir = [&](const char *part) { return r.instructions.at(part); };
                   const double bare = double(ir("bare"));
                   const double lines = r.bench.records;
                   return std::vector<std::string>{
                       Grouped(ir("bare")), Grouped(ir("import-conduit")),
                       Grouped(uint64_t(ir("import-conduit") / lines + 0.5)),
                       Fixed(ir("import-conduit") / bare, 2), Grouped(ir("import-whole")),
                       Grouped(ir("export-conduit")),
                       Grouped(uint64_t(ir("export-conduit") / lines + 0.5)),
                       Fixed(ir("export-conduit") / bare, 2), Grouped(ir("export-whole"))};
               });
}

uint64_t StandinInstructions(const CaseResult &r, const std::string &direction) {
    return r.instructions.at(direction + "-whole") - r.instructions.at(direction + "-conduit");
}

double StandinPercent(const CaseResult &r, const std::string &direction) {
    return 100.0 * double(StandinInstructions(r, direction)) /
           double(r.instructions.at(direction + "-conduit"));
}

void PrintStandinShares(const std::vector<CaseResult> &results) {
    PrintTable("The stand-in's instructions (HotSync − conduit) against the conduit's",
               {"import stand-in", "÷ import conduit", "export stand-in", "÷ export conduit"},
               results, [](const CaseResult &r) {
                   std::vector<std::string> cells;
                   if (r.instructions.empty()) return cells;
                   for (const char *direction : {"import", "export"}) {
                       cells.push_back(Grouped(StandinInstructions(r, direction)));
                       cells.push_back(Fixed(StandinPercent(r, direction), 1) + " %");
                   }
                   return cells;
               });
}

// The CI gate: each list checked, then counted under callgrind; fails when the
// stand-in's share of a HotSync exceeds o.gate percent of the conduit's.
int RunGate(Options o, const Conduit &conduit) {
    if (!MakeDirs(o.work)) return 1;
    if (!HaveValgrind()) {
        std::fprintf(stderr, "bench: the gate counts instructions under valgrind: missing\n");
        return 1;
    }
    o.perl = false;
    std::vector<CaseResult> results;
    for (Shape shape : o.shapes) {
        for (uint32_t records : o.sizes) {
            CaseResult result;
            const std::string root = o.work + "/check-" + std::to_string(records);
            if (!MakeBenchCase(o.work, shape, records, &result.bench) ||
                !CheckCase(o, conduit, result.bench, root) || !CallgrindCase(o, &result))
                return 1;
            RemoveTree(root);
            results.push_back(result);
        }
    }
    std::printf("## Instruction gate: the stand-in at most %g %% of the conduit\n", o.gate);
    PrintInstructions(results);
    PrintStandinShares(results);
    bool met = true;
    for (const CaseResult &r : results) {
        for (const char *direction : {"import", "export"}) {
            const double percent = StandinPercent(r, direction);
            const bool within = percent <= o.gate;
            met = met && within;
            std::printf("\n%s %s %s: stand-in %s instructions, conduit %s: %.1f %%, %s", direction,
                        ShapeName(r.bench.shape), Grouped(r.bench.records).c_str(),
                        Grouped(StandinInstructions(r, direction)).c_str(),
                        Grouped(r.instructions.at(std::string(direction) + "-conduit")).c_str(),
                        percent, within ? "within the limit" : "OVER THE LIMIT");
        }
    }
    std::printf("\n\ngate: %s\n", met ? "passed" : "FAILED");
    return met ? 0 : 1;
}

int RunAll(const Options &o, const Conduit &conduit) {
    if (!MakeDirs(o.work)) return 1;
    const bool callgrind = o.callgrind && HaveValgrind();
    if (o.callgrind && !callgrind) std::fprintf(stderr, "bench: no valgrind, no instruction counts\n");

    const double clockRead = ClockReadNanos();
    std::vector<CaseResult> results;
    for (Shape shape : o.shapes) {
        for (uint32_t records : o.sizes) {
            CaseResult result;
            if (!MakeBenchCase(o.work, shape, records, &result.bench)) return 1;
            std::fprintf(stderr, "bench: timing %s\n", result.bench.Name().c_str());
            if (!TimeCase(o, conduit, clockRead, &result)) return 1;
            results.push_back(result);
        }
    }
    if (callgrind) {
        for (CaseResult &result : results) {
            std::fprintf(stderr, "bench: callgrind %s\n", result.bench.Name().c_str());
            if (!CallgrindCase(o, &result)) return 1;
        }
    }
    std::printf("## HotSync benchmark\n\nfiles in %s; clock read %.1f ns, taken off the conduit's "
                "share once per stand-in call\n", o.work.c_str(), clockRead);
    PrintTimes(o, results);
    PrintRatios(o, results);
    if (callgrind) {
        PrintInstructions(results);
        PrintStandinShares(results);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!ParseOptions(argc, argv, &o)) return Usage();
    unsetenv("HOTSYNC_LOG");
    if (!ResolveStandin()) return 1;
    Conduit conduit;
    if (!LoadConduit(o.conduitPath, &conduit)) return 1;
    if (o.callgrindChild) return CallgrindChild(o, conduit);
    const bool ownWork = o.work.empty();
    if (ownWork) o.work = MakeWorkDir("lenfol-bench-");
    if (o.work.empty()) return 1;
    const int status = o.gate > 0 ? RunGate(o, conduit) : RunAll(o, conduit);
    if (ownWork && !o.keep) RemoveTree(o.work);
    return status;
}
