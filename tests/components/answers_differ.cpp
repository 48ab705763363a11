// Broken on purpose: counts its queries in a static and tells the count in its settings, so the
// same session answers differently each time.
#include "broken_component.h"

namespace {
int asked = 0;
}  // namespace

class answers_differ : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "return" && event.commandValue() == "all")
            return nelk_string("Asked=") + nelk_string(++asked, '\0', 0, 10);
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(answers_differ)
