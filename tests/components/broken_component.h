// Shared by the test components (most of them broken on purpose) that prove the validator and nelk-host catch
// faults. Each is a loadable library exporting load_nelk_client_script, like a real component.
#pragma once

#include <new>

#include "nelk_script_helper.h"

#define NELK_BROKEN_ENTRY(type)                                                                     \
    NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) { \
        return new (std::nothrow) type(host, text);                                                \
    }

// A well-behaved base for the broken ones: every hook does nothing.
class quiet_component : public nelk_script_helper {
public:
    quiet_component(nelk_host* host, const char* text) : nelk_script_helper(host, text) {}
    void buttonCallback(buttonEvent&) override {}
    int slotCallback(slotEvent&) override { return 0; }
    nelk_string commandCallback(commandEvent&) override { return nelk_string(); }
    void timerCallback(int) override {}
};
