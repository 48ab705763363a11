// Broken on purpose: keeps a copy of every slot text it is told, and never lets one go.
#include <cstring>

#include "broken_component.h"

class leaks_per_event : public quiet_component {
public:
    leaks_per_event(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(5, 1, 1, false); }
    int slotCallback(slotEvent& event) override {
        const nelk_string text = event.slotText();
        char* copy = new char[static_cast<std::size_t>(text.length()) + 1];
        std::memcpy(copy, static_cast<const char*>(text), static_cast<std::size_t>(text.length()) + 1);
        last_ = copy;  // the previous copy is lost
        return 0;
    }

private:
    char* last_ = nullptr;
};

NELK_BROKEN_ENTRY(leaks_per_event)
