// Broken on purpose: registers for a slot and never ends the registration, not even when deleted.
#include "broken_component.h"

class registers_without_end : public quiet_component {
public:
    registers_without_end(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(5, 1, 4, false); }
};

NELK_BROKEN_ENTRY(registers_without_end)
