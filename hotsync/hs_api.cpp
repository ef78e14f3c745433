// HotSync API (HSAPI.dll): requests to the HotSync Manager are only recorded.
#include <string>
#include <vector>

#include "standin.h"
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

void standin::ResetNotifies() { Notifications().clear(); }

extern "C" {

int32_t HS_CALL NotifyHotSyncManager(int32_t request, int32_t argument) {
    return standin::Call(
        "NotifyHotSyncManager",
        [=] {
            Notifications().push_back({request, argument});
            return 0;
        },
        standin::Unexamined, request, argument);
}

size_t StandinNotifyCount(void) { return Notifications().size(); }

int32_t StandinNotifyRequest(size_t index) {
    return standin::At(Notifications(), index, [](auto &n) { return n.request; });
}

int32_t StandinNotifyArgument(size_t index) {
    return standin::At(Notifications(), index, [](auto &n) { return n.argument; });
}

}  // extern "C"
