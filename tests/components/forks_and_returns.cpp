// Broken on purpose: forks to run a helper and lets the child return from the call, into the
// host's own code.
#include <unistd.h>

#include "broken_component.h"

class forks_and_returns : public quiet_component {
public:
    using quiet_component::quiet_component;
    void numberCallback(int&) override { (void)fork(); }
};

NELK_BROKEN_ENTRY(forks_and_returns)
