// HotSync API (HSAPI.dll): requests to the HotSync Manager are only traced.
#include "standin.h"
#include "trace.h"

extern "C" int32_t HS_CALL NotifyHotSyncManager(int32_t request, int32_t argument) {
    return standin::Call(
        "NotifyHotSyncManager", [] { return 0; }, standin::Unexamined, request, argument);
}
