// Correct: registers for a second slot from inside the first slot's event, as the contract allows.
#include "broken_component.h"

class registers_in_slot : public quiet_component {
public:
    registers_in_slot(nelk_host* host, const char* text) : quiet_component(host, text) {
        for (int driver = 1; driver <= 8; ++driver) infoRegister(driver, 1, 1, false);
    }
    ~registers_in_slot() override {
        for (int driver = 1; driver <= 40; ++driver) infoUnregister(driver);
    }
    int slotCallback(slotEvent& event) override {
        if (next_ <= 40) infoRegister(next_++, 1, 1, false);
        (void)event;
        return 0;
    }

private:
    int next_ = 9;
};

NELK_BROKEN_ENTRY(registers_in_slot)
