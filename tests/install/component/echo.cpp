// A minimal component: answers every command with its name and shows timer ids.
#include <new>

#include "nelk_script_helper.h"

class Echo : public nelk_script_helper {
public:
    Echo(nelk_host* host, const char* text) : nelk_script_helper(host, text) {}
    void buttonCallback(buttonEvent&) override {}
    int slotCallback(slotEvent&) override { return 0; }
    nelk_string commandCallback(commandEvent& event) override { return "echo " + event.commandName(); }
    void timerCallback(int id) override { timerStop(id); }
};

NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
    return new (std::nothrow) Echo(host, text);
}
