// Broken on purpose: keeps "the instance being called" in a static, which a call into another
// instance from inside hostSend leaves pointing at the wrong one.
#include "broken_component.h"

namespace {
nelk_host* current = nullptr;
}  // namespace

class current_instance_global : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        current = host;
        if (event.commandName() == "_commands") return "Title=[value]";
        if (event.commandName() == "Title") {
            current->hostSend("TP 'text=saving' '1' 'title'", 0);  // the host may call another instance here
            current->hostSend("TP 'text=saved' '1' 'title'", 0);
        }
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(current_instance_global)
