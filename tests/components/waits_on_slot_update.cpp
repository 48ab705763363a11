// Broken on purpose: waits 300 ms on the host's thread at every slot update it is told, so that a
// host's window stops responding each time the slot changes.
#include <chrono>
#include <thread>

#include "broken_component.h"

class waits_on_slot_update : public quiet_component {
public:
    waits_on_slot_update(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(5, 1, 1, false); }
    ~waits_on_slot_update() override { infoUnregister(5); }
    int slotCallback(slotEvent&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return 0;
    }
};

NELK_BROKEN_ENTRY(waits_on_slot_update)
