#include "net/DeadlinePump.h"

#include <utility>

namespace tolvan {

DeadlinePump::DeadlinePump(EventPump& inner, std::function<void()> onExpired)
    : inner_(inner), onExpired_(std::move(onExpired))
{
}

void DeadlinePump::arm(long long ms)
{
    expired_ = false;
    armed_ = ms > 0;
    if (armed_)
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

void DeadlinePump::processEvents()
{
    inner_.processEvents();
    check();
}

short DeadlinePump::waitForSocket(int fd, short events, int timeoutMs)
{
    const short revents = inner_.waitForSocket(fd, events, timeoutMs);
    check();
    return revents;
}

void DeadlinePump::check()
{
    if (armed_ && std::chrono::steady_clock::now() >= deadline_) {
        armed_ = false;
        expired_ = true;
        onExpired_();
    }
}

}  // namespace tolvan
