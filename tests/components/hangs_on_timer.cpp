// Broken on purpose: never returns from a timer event.
#include <atomic>

#include "broken_component.h"

class hangs_on_timer : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        std::atomic<bool> forever{true};
        while (forever.load()) {
        }
    }
};

NELK_BROKEN_ENTRY(hangs_on_timer)
