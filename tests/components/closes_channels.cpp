// Broken on purpose: closes standard input and descriptor 3 on a timer event, as a component that
// detaches from the console, or closes what it takes for its own, might.
#include <unistd.h>

#include "broken_component.h"

class closes_channels : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        close(0);
        close(3);
    }
};

NELK_BROKEN_ENTRY(closes_channels)
