// Broken on purpose: closes the process's standard output and error on a timer event, as a
// component that "daemonises" a worker might.
#include <unistd.h>

#include "broken_component.h"

class closes_descriptors : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        close(1);
        close(2);
    }
};

NELK_BROKEN_ENTRY(closes_descriptors)
