// Broken on purpose: lower-cases every command text in place before reading it.
#include "broken_component.h"

class writes_command_text : public quiet_component {
public:
    using quiet_component::quiet_component;
    const char* callback(void* data, int kind) override {
        if (kind == 3 && data != nullptr) {
            for (char* at = static_cast<char*>(data); *at != '\0'; ++at)
                if (*at >= 'A' && *at <= 'Z') *at = static_cast<char>(*at - 'A' + 'a');
        }
        return quiet_component::callback(data, kind);
    }
};

NELK_BROKEN_ENTRY(writes_command_text)
