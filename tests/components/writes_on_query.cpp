// Broken on purpose: answering "return=all" (a host saving the panel's settings), it also writes
// its label into a slot, as if the query were a command.
#include "broken_component.h"

class writes_on_query : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Label=[text]";
        if (event.commandName() == "Label") label_ = event.commandValue();
        if (event.commandName() == "return" && event.commandValue() == "all") {
            infoWrite(5, label_, 1, false);
            return "Label=" + label_;
        }
        return nelk_string();
    }

private:
    nelk_string label_;
};

NELK_BROKEN_ENTRY(writes_on_query)
