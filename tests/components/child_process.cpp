// Broken on purpose: starts a helper process at every timer and never waits for it, so helpers
// outlive the component.
#include <unistd.h>

#include "broken_component.h"

class child_process : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        if (fork() == 0) {
            sleep(3);
            _exit(0);
        }
    }
};

NELK_BROKEN_ENTRY(child_process)
