// Broken on purpose: never returns from a timer event.
#include <chrono>
#include <thread>

#include "broken_component.h"

class hangs_on_timer : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
};

NELK_BROKEN_ENTRY(hangs_on_timer)
