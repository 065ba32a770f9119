#pragma once
// An event pump that passes every wait on to another one and, once an armed
// deadline has passed, calls onExpired (which interrupts the request in
// progress). The owner arms it before a request and asks afterwards whether
// the deadline struck.
#include <chrono>
#include <functional>

#include "net/EventPump.h"

namespace tolvan {

class DeadlinePump final : public EventPump {
public:
    DeadlinePump(EventPump& inner, std::function<void()> onExpired);

    // Forgets an earlier expiry and arms the deadline ms from now; ms <= 0
    // leaves it unarmed.
    void arm(long long ms);
    void disarm() { armed_ = false; }
    bool expired() const { return expired_; }

    void processEvents() override;
    short waitForSocket(int fd, short events, int timeoutMs) override;

private:
    void check();

    EventPump& inner_;
    std::function<void()> onExpired_;
    std::chrono::steady_clock::time_point deadline_;
    bool armed_ = false;
    bool expired_ = false;
};

}  // namespace tolvan
