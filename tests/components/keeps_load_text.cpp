// Broken on purpose: keeps the load text's pointer instead of a copy and reads it later.
#include <cstring>

#include "broken_component.h"

class keeps_load_text : public quiet_component {
public:
    keeps_load_text(nelk_host* host, const char* text) : quiet_component(host, text), folder_(text) {}
    void timerCallback(int) override {
        if (folder_ != nullptr && std::strlen(folder_) > 0) textPut("text", folder_, "1", "folder");
    }

private:
    const char* folder_;
};

NELK_BROKEN_ENTRY(keeps_load_text)
