// Broken on purpose: shows "countdown.nelk_ui" (whose timer 1 fires every 100 ms on the host's
// clock) and crashes in the timer's event, every time: a failure that a replay brings back.
#include "broken_component.h"

class crashes_on_clock_timer : public quiet_component {
public:
    crashes_on_clock_timer(nelk_host* host, const char* text) : quiet_component(host, text) {
        panelShow("1", "countdown.nelk_ui", nelk_string());
    }
    void timerCallback(int) override {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
};

NELK_BROKEN_ENTRY(crashes_on_clock_timer)
