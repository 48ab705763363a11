// Broken on purpose: its "Mode" setting is a command that "_commands" does not list, and it
// indexes a table of 4 with any value.
#include "broken_component.h"

class hidden_command : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        static const char* const modes[4] = {"off", "on", "blink", "auto"};
        if (event.commandName() == "_commands") return "Title=[value]";
        if (event.commandName() == "Mode") textPut("text", modes[event.commandValueView().firstInt()], "1", "mode");
        if (event.commandName() == "return" && event.commandValue() == "all") return "Title=\nMode=0";
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(hidden_command)
