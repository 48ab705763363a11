// Correct: sends 40 lines for every command, a whole panel's worth of texts.
#include <string>

#include "broken_component.h"

class chatty : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Title=[value]\nLevel=[value]";
        for (int line = 0; line < 40; ++line) textPut("text", event.commandValue(), "1", nelk_string(("line" + std::to_string(line)).c_str()));
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(chatty)
