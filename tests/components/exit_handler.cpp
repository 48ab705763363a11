// Broken on purpose: registers a function of its own to run at the process's exit, with on_exit,
// which runs it long after the library was unloaded.
#include <cstdio>
#include <cstdlib>

#include "broken_component.h"

namespace {
int instances = 0;
void sayGoodbye(int, void*) { std::printf("%d instances made\n", instances); }
}  // namespace

class exit_handler : public quiet_component {
public:
    exit_handler(nelk_host* host, const char* text) : quiet_component(host, text) {
        if (instances++ == 0) on_exit(sayGoodbye, nullptr);
    }
};

NELK_BROKEN_ENTRY(exit_handler)
