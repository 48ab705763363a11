// Broken on purpose: reads a slot record's text without looking for null.
#include "broken_component.h"

class null_slot_text : public quiet_component {
public:
    using quiet_component::quiet_component;
    const char* callback(void* data, int kind) override {
        if (kind == 1 && data != nullptr) length_ += static_cast<slotNotify*>(data)->slotText[0];
        return quiet_component::callback(data, kind);
    }

private:
    volatile int length_ = 0;
};

NELK_BROKEN_ENTRY(null_slot_text)
