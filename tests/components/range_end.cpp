// Broken on purpose: registers slots 1 to 100 and keeps their texts in a table of 100 indexed
// by the slot, so the last slot writes past it.
#include "broken_component.h"

class range_end : public quiet_component {
public:
    range_end(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(12, 1, 100, false); }
    ~range_end() override { infoUnregister(12); }
    int slotCallback(slotEvent& event) override {
        texts_[event.index()] = event.slotText();  // slot 100 lies past the table
        return 0;
    }

private:
    nelk_string texts_[100];  // last: slot 100 is what follows the component in memory
};

NELK_BROKEN_ENTRY(range_end)
