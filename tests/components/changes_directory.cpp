// Broken on purpose: moves the process to /tmp when it is told a folder, and never back.
#include <unistd.h>

#include "broken_component.h"

class changes_directory : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Folder=[value]";
        if (event.commandName() == "Folder") (void)chdir("/tmp");
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(changes_directory)
