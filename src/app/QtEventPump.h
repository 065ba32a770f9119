#pragma once
// The window's event pump: while a core client waits for its socket, Qt gets
// to handle pending events (buttons, timers, painting, the window's close).
#include "net/EventPump.h"

namespace tolvan::app {

class QtEventPump final : public EventPump {
public:
    void processEvents() override;

    // The one pump of the window.
    static QtEventPump& instance();
};

}  // namespace tolvan::app
