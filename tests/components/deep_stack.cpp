// Broken on purpose: formats its title in a 6 MB buffer on the stack, more than a host's thread has.
#include <cstring>

#include "broken_component.h"

class deep_stack : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override { fill(); }

private:
    __attribute__((noinline)) void fill() {
        volatile char buffer[6 * 1024 * 1024];
        for (std::size_t at = 0; at < sizeof buffer; at += 4096) buffer[at] = 1;
        textPut("text", buffer[0] == 1 ? "full" : "empty", "1", "title");
    }
};

NELK_BROKEN_ENTRY(deep_stack)
