// Broken on purpose: stops timer 99, which the host never fired to it, whenever a number comes.
#include "broken_component.h"

class stops_unfired_timer : public quiet_component {
public:
    using quiet_component::quiet_component;
    void numberCallback(int&) override { timerStop(99); }
};

NELK_BROKEN_ENTRY(stops_unfired_timer)
