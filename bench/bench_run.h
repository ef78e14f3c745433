// What both bench programs share: the conduit loaded as a HotSync Manager
// loads it, the generated lists on disk, and one HotSync run through
// OpenConduit and the stand-in, as the conduit tests drive it.
#ifndef LENSFOLIO_BENCH_RUN_H
#define LENSFOLIO_BENCH_RUN_H

#include <cstdint>
#include <string>
#include <vector>

#include "bench_data.h"
#include "platform.h"

struct Conduit {
    void *library = nullptr;
    OpenConduitFn openConduit = nullptr;
};

bool LoadConduit(const std::string &path, Conduit *conduit);

// One size and shape of list, generated under <work>/data-<shape>-<records>/.
struct BenchCase {
    Shape shape = Shape::Typical;
    uint32_t records = 0;
    std::string dataDir;  // Cameras.txt and LenfolDB.pdb as generated
    ListFacts facts;

    std::string Name() const;
    std::string CamerasTxt() const { return dataDir + "/Cameras.txt"; }
    std::string LenfolPdb() const { return dataDir + "/LenfolDB.pdb"; }
};

bool MakeBenchCase(const std::string &work, Shape shape, uint32_t records, BenchCase *out);

// A HotSync's own folder: <root>/handheld/ is the stand-in handheld and
// <root>/Lenfol/ the conduit's desktop directory.
std::string HandheldDir(const std::string &root);
std::string DesktopDir(const std::string &root);

// Lays out `root` as a HotSync of this sync type starts: the generated
// LenfolDB.pdb on the handheld and the generated Cameras.txt on the desktop
// (the export replaces the latter).
bool PrepareHotSync(const BenchCase &bench, const std::string &root);

// Runs OpenConduit with this sync type against `root`; true when it returned
// 0 and logged no error. The caller measures around it.
struct HotSyncRun {
    const Conduit *conduit;
    SyncProperties properties;
};
void SetUpHotSync(const Conduit &conduit, const std::string &root, int32_t syncType,
                  HotSyncRun *run);
int32_t RunHotSync(HotSyncRun *run);
bool HotSyncSucceeded(int32_t status, std::string *why);

// The limit for this design: every line of `in` read with fgets into one
// buffer and written to `out` unchanged. Returns the nanoseconds it took, or
// -1 on an I/O error.
int64_t BareLoop(const std::string &in, const std::string &out);

bool CopyFile(const std::string &from, const std::string &to);
bool SameContent(const std::string &a, const std::string &b);
bool MakeDirs(const std::string &path);
void RemoveTree(const std::string &path);

#endif
