// Broken on purpose: arms a process-wide alarm() for its own timing and never disarms it.
#include <unistd.h>

#include "broken_component.h"

class leaves_alarm : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override { alarm(3600); }
};

NELK_BROKEN_ENTRY(leaves_alarm)
