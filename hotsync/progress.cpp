// Progress hook of the stand-in sync manager. See progress.h.
#include "progress.h"

namespace {

StandinProgressHook g_hook = nullptr;

}  // namespace

extern "C" {

void StandinSetProgressHook(StandinProgressHook hook) { g_hook = hook; }

void StandinReportProgress(const char *database, const char *operation, unsigned done,
                           unsigned total) {
    if (g_hook) g_hook(database, operation, done, total);
}

}  // extern "C"
