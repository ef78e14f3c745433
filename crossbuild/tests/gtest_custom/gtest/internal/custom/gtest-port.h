// GoogleTest's own hook for a port (it includes this file first). The win32
// thread model of MinGW's GCC 12 has no std::mutex or condition variable,
// on which GoogleTest builds the Notification of its thread helpers; this
// one waits on an atomic flag instead. Our tests start no threads.
#ifndef LENSFOLIO_GTEST_CUSTOM_PORT_H
#define LENSFOLIO_GTEST_CUSTOM_PORT_H

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;
    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#endif
