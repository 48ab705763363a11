// Broken on purpose: reseeds the C library's random sequence, which the host shares, at every
// slot value.
#include <cstdlib>

#include "broken_component.h"

class seeds_random : public quiet_component {
public:
    seeds_random(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(12, 7, 7, false); }
    ~seeds_random() override { infoUnregister(12); }
    int slotCallback(slotEvent&) override {
        std::srand(42);
        return 0;
    }
};

NELK_BROKEN_ENTRY(seeds_random)
