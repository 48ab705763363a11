// Broken on purpose: "Helper=1" starts a helper that makes itself a session leader (out of reach
// of its host's process group) and lives on for two minutes, holding the host's descriptors.
#include <unistd.h>

#include "broken_component.h"

class leaves_a_session_leader : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Helper=[1]";
        if (event.commandName() == "Helper" && fork() == 0) {
            setsid();
            sleep(120);
            _exit(0);
        }
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(leaves_a_session_leader)
