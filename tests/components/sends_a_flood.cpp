// Correct, if loud: "Lines=N" sends N lines at once and "Long=N" one line of N bytes, both well
// within any watchdog's time in the component's own code, however long a host takes to carry
// them out.
#include <string>

#include "broken_component.h"

class sends_a_flood : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        const long count = event.commandValue().firstInt();
        if (event.commandName() == "_commands") return "Lines=[count]\nLong=[bytes]";
        if (event.commandName() == "Lines") {
            for (long line = 0; line < count; ++line) textPut("text", "1", "1", "flood");
        } else if (event.commandName() == "Long") {
            textPut("text", nelk_string(std::string(static_cast<std::size_t>(count), 'x').c_str()), "1", "flood");
        }
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(sends_a_flood)
