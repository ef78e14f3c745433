// lenfol_bench_heap: what the conduit allocates during a HotSync, per record
// and at its peak, at each size of list. Prints a markdown table.
//
//   lenfol_bench_heap [--sizes 1000,10000,65535] [--shapes typical,full] [--work DIR]
//
// heap_counter.cpp replaces malloc; a block counts as the conduit's when it is
// allocated inside OpenConduit but outside every stand-in call (the stand-in
// holds the whole database in memory, which is not the conduit's).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench_common.h"
#include "bench_run.h"
#include "heap_counter.h"
#include "standin_meter.h"

namespace {

struct Options {
    std::vector<uint32_t> sizes{1000, 10000, 65535};
    std::vector<Shape> shapes{Shape::Typical, Shape::Full};
    std::string work;
    std::string conduitPath = LENFOL_DLL_PATH;
};

// Allocations between two record calls of the stand-in (SyncWriteRec on
// import, SyncReadRecordByIndex on export): exactly one record's.
struct RecordMarks {
    uint64_t marks = 0;
    uint64_t atLastMark = 0;
    std::map<uint64_t, uint64_t> perRecord;  // allocations -> records
};

RecordMarks g_marks;

void OnRecordCall() {
    const uint64_t now = HeapCountNow().allocations;
    if (g_marks.marks > 0) ++g_marks.perRecord[now - g_marks.atLastMark];
    g_marks.atLastMark = now;
    ++g_marks.marks;
}

struct HeapResult {
    HeapCounts counts;
    RecordMarks marks;
};

bool MeasureHotSync(const Conduit &conduit, const BenchCase &bench, const std::string &root,
                    int32_t syncType, HeapResult *result) {
    if (!PrepareHotSync(bench, root)) return false;
    HotSyncRun run;
    SetUpHotSync(conduit, root, syncType, &run);
    g_marks = RecordMarks{};
    StandinMeter &m = g_standinMeter;
    m.recordMark = OnRecordCall;
    HeapCountStart();
    m.measuring = true;
    const int32_t status = RunHotSync(&run);
    m.measuring = false;
    HeapCountStop();
    m.recordMark = nullptr;
    result->counts = HeapCountNow();
    result->marks = g_marks;
    std::string why;
    if (!HotSyncSucceeded(status, &why)) {
        std::fprintf(stderr, "bench: HotSync of %s failed: %s\n", bench.Name().c_str(), why.c_str());
        return false;
    }
    return true;
}

// "16 × 999" for each count of allocations that records showed.
std::string Histogram(const std::map<uint64_t, uint64_t> &perRecord) {
    std::string text;
    for (const auto &entry : perRecord) {
        if (!text.empty()) text += ", ";
        text += std::to_string(entry.first) + " × " + Grouped(entry.second);
    }
    return text.empty() ? "–" : text;
}

void PrintRow(const BenchCase &bench, const char *direction, const HeapResult &r) {
    uint64_t inRecords = 0;
    for (const auto &entry : r.marks.perRecord) inRecords += entry.first * entry.second;
    const uint64_t largest = bench.facts.largestRecord;
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", ShapeName(bench.shape),
                Grouped(bench.records).c_str(), direction, Grouped(r.counts.allocations).c_str(),
                Histogram(r.marks.perRecord).c_str(),
                Grouped(r.counts.allocations - inRecords).c_str(),
                Grouped(r.counts.peakBytes).c_str(), Grouped(largest).c_str(),
                r.counts.peakBytes >= largest
                    ? Grouped(r.counts.peakBytes - largest).c_str()
                    : ("-" + Grouped(largest - r.counts.peakBytes)).c_str(),
                Grouped(r.counts.liveBytes).c_str());
}

bool ParseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--sizes") {
            if (!ParseSizes(value, &o->sizes)) return false;
        } else if (arg == "--shapes") {
            if (!ParseShapes(value, &o->shapes)) return false;
        } else if (arg == "--work") {
            o->work = value;
        } else if (arg == "--conduit") {
            o->conduitPath = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

int MeasureAll(const Options &o, const Conduit &conduit) {
    std::printf("\n### Conduit heap during one HotSync (LineBuffer, 66,000 bytes, is static and "
                "not counted)\n\n");
    std::printf("| list | records | direction | conduit allocations | per record: allocations × "
                "records | rest of the HotSync | peak live bytes | largest record | peak − largest "
                "record | live after |\n");
    std::printf("|---|--:|---|--:|---|--:|--:|--:|--:|--:|\n");
    for (Shape shape : o.shapes) {
        for (uint32_t records : o.sizes) {
            BenchCase bench;
            if (!MakeBenchCase(o.work, shape, records, &bench)) return 1;
            const std::string root = o.work + "/run-" + bench.Name();
            HeapResult result;
            if (!MeasureHotSync(conduit, bench, root, kSyncTypeDesktopToHandheld, &result)) return 1;
            PrintRow(bench, "import", result);
            if (!MeasureHotSync(conduit, bench, root, kSyncTypeHandheldToDesktop, &result)) return 1;
            PrintRow(bench, "export", result);
            RemoveTree(root);
            RemoveTree(bench.dataDir);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        std::fprintf(stderr, "usage: lenfol_bench_heap [--sizes N,N,...] [--shapes typical,full] "
                             "[--work DIR] [--conduit Lenfol.dll]\n");
        return 2;
    }
    unsetenv("HOTSYNC_LOG");
    if (!ResolveStandin()) return 1;
    Conduit conduit;
    if (!LoadConduit(o.conduitPath, &conduit)) return 1;
    const bool ownWork = o.work.empty();
    if (ownWork) o.work = MakeWorkDir("lenfol-bench-heap-");
    if (o.work.empty()) return 1;
    const int status = MeasureAll(o, conduit);
    if (ownWork) RemoveTree(o.work);
    return status;
}
