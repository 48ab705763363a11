// Broken on purpose: trims a slot text in place, writing into the host's record.
#include <cstring>

#include "broken_component.h"

class writes_slot_text : public quiet_component {
public:
    using quiet_component::quiet_component;
    const char* callback(void* data, int kind) override {
        if (kind == 1 && data != nullptr) {
            char* text = const_cast<char*>(static_cast<slotNotify*>(data)->slotText);
            if (text != nullptr && text[0] != '\0') text[std::strlen(text) - 1] = '\0';
        }
        return quiet_component::callback(data, kind);
    }
};

NELK_BROKEN_ENTRY(writes_slot_text)
