// Broken on purpose: keeps its live instances in a table of 64 and takes the next entry unchecked.
#include <array>

#include "broken_component.h"

namespace {
std::array<void*, 64> live{};
std::size_t count = 0;
}  // namespace

class fixed_instance_table : public quiet_component {
public:
    fixed_instance_table(nelk_host* host, const char* text) : quiet_component(host, text) { live.at(count++) = this; }
    ~fixed_instance_table() override {
        for (void*& each : live) {
            if (each == this) each = nullptr;
        }
    }
};

NELK_BROKEN_ENTRY(fixed_instance_table)
