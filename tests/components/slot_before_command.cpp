// Broken on purpose: expects a command before any slot value, and reads what the command would
// have set.
#include "broken_component.h"

class slot_before_command : public quiet_component {
public:
    slot_before_command(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(12, 7, 7, false); }
    ~slot_before_command() override { infoUnregister(12); }
    nelk_string commandCallback(commandEvent&) override {
        static nelk_string prefix("Camera ");
        prefix_ = &prefix;
        return nelk_string();
    }
    int slotCallback(slotEvent& event) override {
        textPut("text", *prefix_ + event.slotText(), "1", "label");
        return 0;
    }

private:
    nelk_string* prefix_ = nullptr;
};

NELK_BROKEN_ENTRY(slot_before_command)
