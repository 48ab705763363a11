// Broken on purpose: writes every value of its slot back to that same slot, which a host reports
// to it again, without end.
#include "broken_component.h"

class feeds_back : public quiet_component {
public:
    feeds_back(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(5, 1, 1, false); }
    ~feeds_back() override { infoUnregister(5); }
    int slotCallback(slotEvent& event) override {
        infoWrite(5, event.slotTextView(), 1, false);
        return 0;
    }
};

NELK_BROKEN_ENTRY(feeds_back)
