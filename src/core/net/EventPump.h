#pragma once
// How the core waits without freezing the window. Everything runs on one thread:
// while a client waits for its socket, the front end gets to process its pending
// events (button presses, timers), whose handlers may set flags or interrupt the
// client. The GUI implements this with Qt's event processing; the CLI and tests
// use PollEventPump.
#include <poll.h>

namespace tolvan {

class EventPump {
public:
    virtual ~EventPump() = default;

    // Let the front end handle whatever events are pending, then return.
    virtual void processEvents() = 0;

    // Block until fd has one of `events` (POLLIN/POLLOUT), or timeoutMs pass.
    // Implementations block in poll() in short slices (about 10 ms) and call
    // processEvents() between slices. Returns poll()'s revents, 0 on time-out.
    // fd < 0 just pumps for timeoutMs.
    virtual short waitForSocket(int fd, short events, int timeoutMs);

    // Pumps for ms milliseconds, unless `stop` turns true meanwhile (a handler
    // run by the pump sets it): false then, true once the time has passed.
    bool pauseUnless(int ms, const bool& stop);

    // The pump for programs without a window: processEvents() does nothing.
    static EventPump& plain();

protected:
    static constexpr int sliceMs = 10;
};

}  // namespace tolvan
