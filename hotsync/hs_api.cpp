// HotSync API (HSAPI.dll): requests to the HotSync Manager are only recorded.
#include <string>
#include <vector>

#include "hostile.h"
#include "standin.h"
#include "standin_extra.h"
#include "trace.h"

namespace {

struct Notification {
    int32_t request;
    int32_t argument;
};

std::vector<Notification> &Notifications() {
    static std::vector<Notification> notifications;
    return notifications;
}

}  // namespace

extern "C" {

int32_t HS_CALL NotifyHotSyncManager(int32_t request, int32_t argument) {
    int32_t status = 0;
    bool injected = standin::Injected("NotifyHotSyncManager", &status);
    if (!injected) Notifications().push_back({request, argument});
    status = standin::UnexaminedResult(status);
    standin::TraceCall("NotifyHotSyncManager", injected, status,
                       {std::to_string(request), std::to_string(argument)});
    return status;
}

size_t StandinNotifyCount(void) { return Notifications().size(); }

int32_t StandinNotifyRequest(size_t index) {
    return index < Notifications().size() ? Notifications()[index].request : 0;
}

int32_t StandinNotifyArgument(size_t index) {
    return index < Notifications().size() ? Notifications()[index].argument : 0;
}

void StandinClearNotifies(void) { Notifications().clear(); }

}  // extern "C"
