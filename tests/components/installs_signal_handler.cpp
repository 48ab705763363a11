// Broken on purpose: takes SIGINT for itself when it is created and leaves its handler behind.
#include <csignal>

#include "broken_component.h"

namespace {
void ignoreInterrupt(int) {}
}  // namespace

class installs_signal_handler : public quiet_component {
public:
    installs_signal_handler(nelk_host* host, const char* text) : quiet_component(host, text) {
        std::signal(SIGINT, ignoreInterrupt);
    }
};

NELK_BROKEN_ENTRY(installs_signal_handler)
