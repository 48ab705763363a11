// Broken on purpose: registers for its slot only in the first instance it makes.
#include "broken_component.h"

namespace {
bool registered = false;
}  // namespace

class first_instance_registers : public quiet_component {
public:
    first_instance_registers(nelk_host* host, const char* text) : quiet_component(host, text) {
        if (!registered) infoRegister(12, 7, 7, false);
        registered = true;
    }
    ~first_instance_registers() override { infoUnregister(12); }
};

NELK_BROKEN_ENTRY(first_instance_registers)
