// Broken on purpose: ends the process with exit(0) when a timer fires.
#include <cstdlib>

#include "broken_component.h"

class exits_on_timer : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override { std::exit(0); }
};

NELK_BROKEN_ENTRY(exits_on_timer)
