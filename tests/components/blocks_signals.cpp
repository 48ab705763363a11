// Broken on purpose: blocks SIGTERM on the calling thread (the host's) at every timer.
#include <csignal>

#include <pthread.h>

#include "broken_component.h"

class blocks_signals : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
    }
};

NELK_BROKEN_ENTRY(blocks_signals)
