#include "bench_run.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "standin.h"
#include "standin_meter.h"

namespace fs = std::filesystem;

namespace {

// fgets takes the line into one static buffer of the conduit's size.
char g_bareBuffer[66000];

}  // namespace

bool LoadConduit(const std::string &path, Conduit *conduit) {
    conduit->library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (conduit->library == nullptr) {
        std::fprintf(stderr, "bench: dlopen(%s): %s\n", path.c_str(), dlerror());
        return false;
    }
    conduit->openConduit = reinterpret_cast<OpenConduitFn>(dlsym(conduit->library, "OpenConduit"));
    if (conduit->openConduit == nullptr) {
        std::fprintf(stderr, "bench: %s exports no OpenConduit\n", path.c_str());
        return false;
    }
    return true;
}

std::string BenchCase::Name() const {
    return std::string(ShapeName(shape)) + "-" + std::to_string(records);
}

bool MakeBenchCase(const std::string &work, Shape shape, uint32_t records, BenchCase *out) {
    out->shape = shape;
    out->records = records;
    out->dataDir = work + "/data-" + out->Name();
    if (!MakeDirs(out->dataDir)) return false;
    if (!WriteCamerasTxt(out->CamerasTxt(), shape, records, &out->facts)) {
        std::fprintf(stderr, "bench: cannot write %s\n", out->CamerasTxt().c_str());
        return false;
    }
    if (!WriteLenfolPdb(out->LenfolPdb(), shape, records)) {
        std::fprintf(stderr, "bench: cannot write %s\n", out->LenfolPdb().c_str());
        return false;
    }
    return true;
}

std::string HandheldDir(const std::string &root) { return root + "/handheld"; }
std::string DesktopDir(const std::string &root) { return root + "/Lenfol/"; }

bool PrepareHotSync(const BenchCase &bench, const std::string &root) {
    return MakeDirs(HandheldDir(root)) && MakeDirs(DesktopDir(root)) &&
           CopyFile(bench.LenfolPdb(), HandheldDir(root) + "/LenfolDB.pdb") &&
           CopyFile(bench.CamerasTxt(), DesktopDir(root) + "Cameras.txt");
}

void SetUpHotSync(const Conduit &conduit, const std::string &root, int32_t syncType,
                  HotSyncRun *run) {
    StandinSetHandheldDir(HandheldDir(root).c_str());
    StandinSetLogFile(nullptr);
    StandinClearFaults();
    StandinClearLog();
    run->conduit = &conduit;
    std::memset(&run->properties, 0, sizeof run->properties);
    run->properties.syncType = syncType;
    const std::string desktop = DesktopDir(root);
    std::strncpy(run->properties.pathName, desktop.c_str(), sizeof run->properties.pathName - 1);
}

int32_t RunHotSync(HotSyncRun *run) {
    return run->conduit->openConduit(nullptr, &run->properties);
}

bool HotSyncSucceeded(int32_t status, std::string *why) {
    if (status != 0) {
        *why = "OpenConduit returned " + std::to_string(status);
        return false;
    }
    for (size_t i = 0; i < StandinLogCount(); ++i) {
        if (StandinLogActivity(i) == kLogActivityError) {
            *why = std::string("logged \"") + StandinLogText(i) + "\"";
            return false;
        }
    }
    if (StandinOpenDatabaseCount() != 0) {
        *why = "a database was left open";
        return false;
    }
    return true;
}

int64_t BareLoop(const std::string &in, const std::string &out) {
    const int64_t start = NowNanos();
    FILE *from = std::fopen(in.c_str(), "r");
    if (from == nullptr) return -1;
    FILE *to = std::fopen(out.c_str(), "w");
    if (to == nullptr) {
        std::fclose(from);
        return -1;
    }
    bool ok = true;
    while (ok && std::fgets(g_bareBuffer, sizeof g_bareBuffer, from) != nullptr)
        ok = std::fputs(g_bareBuffer, to) >= 0;
    ok = !std::ferror(from) && ok;
    ok = std::fclose(from) == 0 && ok;
    ok = std::fclose(to) == 0 && ok;
    const int64_t end = NowNanos();
    return ok ? end - start : -1;
}

bool CopyFile(const std::string &from, const std::string &to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) std::fprintf(stderr, "bench: copy %s: %s\n", from.c_str(), error.message().c_str());
    return !error;
}

bool SameContent(const std::string &a, const std::string &b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

bool MakeDirs(const std::string &path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) std::fprintf(stderr, "bench: mkdir %s: %s\n", path.c_str(), error.message().c_str());
    return !error;
}

void RemoveTree(const std::string &path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}
