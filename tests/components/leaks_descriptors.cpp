// Broken on purpose: opens a device at every slot value to log it and never closes it.
#include <fcntl.h>

#include "broken_component.h"

class leaks_descriptors : public quiet_component {
public:
    leaks_descriptors(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(12, 7, 7, false); }
    ~leaks_descriptors() override { infoUnregister(12); }
    int slotCallback(slotEvent&) override { return open("/dev/null", O_WRONLY); }
};

NELK_BROKEN_ENTRY(leaks_descriptors)
