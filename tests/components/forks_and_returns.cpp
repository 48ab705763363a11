// Broken on purpose: forks to run a helper and lets the child return from the call, into the
// host's own code (a helper whose exec failed); the parent waits for its helper, as such code does.
#include <sys/wait.h>
#include <unistd.h>

#include "broken_component.h"

class forks_and_returns : public quiet_component {
public:
    using quiet_component::quiet_component;
    void numberCallback(int&) override {
        const pid_t helper = fork();
        if (helper > 0) waitpid(helper, nullptr, 0);
    }
};

NELK_BROKEN_ENTRY(forks_and_returns)
