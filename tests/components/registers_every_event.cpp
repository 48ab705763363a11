// Broken on purpose: adds a registration for another slot at every command and ends none.
#include "broken_component.h"

class registers_every_event : public quiet_component {
public:
    using quiet_component::quiet_component;
    ~registers_every_event() override { infoUnregister(5); }
    nelk_string commandCallback(commandEvent&) override {
        next_ = next_ % 4096 + 1;
        infoRegister(5, next_, next_, true);
        return nelk_string();
    }

private:
    int next_ = 0;
};

NELK_BROKEN_ENTRY(registers_every_event)
