// Broken on purpose: keeps its driver setting in a static, shared by every instance and kept
// after deletion.
#include "broken_component.h"

namespace {
int driver = 0;
}  // namespace

class static_settings : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Driver=[value]";
        if (event.commandName() == "Driver") driver = event.commandValueView().firstInt();
        if (event.commandName() == "return" && event.commandValue() == "all")
            return nelk_string("Driver=") + nelk_string(driver, '\0', 0, 10);
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(static_settings)
