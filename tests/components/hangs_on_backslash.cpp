// Broken on purpose: its "Title" command undoes backslash escapes with a loop that never ends on
// a trailing backslash.
#include <string>

#include "broken_component.h"

class hangs_on_backslash : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Title=[value]";
        if (event.commandName() != "Title") return nelk_string();
        const std::string value(event.commandValue());
        std::string title;
        for (std::size_t at = 0; at < value.size();) {
            if (value[at] == '\\' && at + 1 < value.size()) {
                title += value[at + 1];
                at += 2;
            } else if (value[at] != '\\') {
                title += value[at++];
            }  // a backslash at the very end: `at` never moves on
        }
        textPut("text", title.c_str(), "1", "title");
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(hangs_on_backslash)
