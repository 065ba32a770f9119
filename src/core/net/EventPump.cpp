#include "net/EventPump.h"

#include <cerrno>
#include <chrono>

namespace tolvan {

short EventPump::waitForSocket(int fd, short events, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        processEvents();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        const int slice = left < sliceMs ? static_cast<int>(left) : sliceMs;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, slice);  // fd < 0 is ignored by poll(): a plain sleep
        if (n > 0 && fd >= 0)
            return p.revents;
        if (n < 0 && errno != EINTR)
            return POLLERR;
    }
}

bool EventPump::pauseUnless(int ms, const bool& stop)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return true;
        waitForSocket(-1, 0, static_cast<int>(left < 50 ? left : 50));
    }
    return false;
}

namespace {
class PlainEventPump final : public EventPump {
public:
    void processEvents() override {}
};
}  // namespace

EventPump& EventPump::plain()
{
    static PlainEventPump pump;
    return pump;
}

}  // namespace tolvan
