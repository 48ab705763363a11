// A component whose hooks do nothing: a base for test components that override one or two of
// them, or that only switch the alarm facility on. Public test kit tool.
#pragma once

#include "nelk_script_helper.h"

namespace nelk_test_kit {

class quiet_component : public nelk_script_helper {
public:
    // host, text: as for nelk_script_helper. alarms: switch the alarm facility on.
    quiet_component(nelk_host* host, const char* text, bool alarms = false) : nelk_script_helper(host, text) {
        alarmHandling = alarms;
    }
    void buttonCallback(buttonEvent&) override {}
    int slotCallback(slotEvent&) override { return 0; }
    nelk_string commandCallback(commandEvent&) override { return nelk_string(); }
    void timerCallback(int) override {}

    using nelk_script_helper::alarmBroadcast;
    using nelk_script_helper::textGet;
};

}  // namespace nelk_test_kit
