// Broken on purpose: a component of the framework whose own command "Level" indexes a table of
// 101 entries with its value unchecked, so a value above 100 writes outside the table; it lists
// the command in its "_commands" answer, as a component should.
#include "broken_component.h"

class level_table : public quiet_component {
public:
    level_table(nelk_host* host, const char* text) : quiet_component(host, text) {}

    nelk_string commandCallback(commandEvent& event) override {
        const nelk_string name = event.commandName();
        if (name == "_commands") return "Level=[value]";
        if (name == "Level") {
            const int level = event.commandValue().firstInt();
            if (level >= 0) levels_[level] = 1;  // the missing check: level <= 100
        }
        return nelk_string();
    }

private:
    volatile char levels_[101] = {};
};

NELK_BROKEN_ENTRY(level_table)
