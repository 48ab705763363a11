// Broken on purpose: keeps the pointer to the last slot text and reads it at the next event.
#include "broken_component.h"

class keeps_slot_text : public quiet_component {
public:
    keeps_slot_text(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(5, 1, 1, false); }
    const char* callback(void* data, int kind) override {
        if (last_ != nullptr) seen_ = seen_ + last_[0];
        if (kind == 1 && data != nullptr) last_ = static_cast<slotNotify*>(data)->slotText;
        return quiet_component::callback(data, kind);
    }

private:
    const char* last_ = nullptr;
    volatile int seen_ = 0;
};

NELK_BROKEN_ENTRY(keeps_slot_text)
