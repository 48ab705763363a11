// Broken on purpose: a member its constructor forgets decides how a command is answered.
#include "broken_component.h"

class reads_uninitialised : public quiet_component {
public:
    reads_uninitialised(nelk_host* host, const char* text) : quiet_component(host, text) {}
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Mode=[value]";
        if (mode_ > 3) return "verbose";
        return nelk_string();
    }

private:
    int mode_;
};

NELK_BROKEN_ENTRY(reads_uninitialised)
