// AlarmPanel: an example component with the framework's alarm facility switched on.
//
// Shows "alarm_panel.nelk_ui" in panel 1: a title, four alarm controls ("alm_" ids) and the group
// buttons "ActionAll" (raises every alarm) and "AckAll" (acknowledges them), which the framework
// handles itself, and "Reset", which this component handles by clearing every alarm. Commands:
// "Title" sets the title, "Raise" and "Clear" one alarm control by id. Created by
// load_nelk_client_script and deleted by the host; host's thread only.
#pragma once

#include "nelk_script_helper.h"

class AlarmPanel : public nelk_script_helper {
public:
    // host and text go unchanged to nelk_script_helper; sends "PS" for panel 1.
    AlarmPanel(nelk_host* host, const char* text);

    void buttonCallback(buttonEvent& event) override;  // "Reset" clears every alarm
    int slotCallback(slotEvent& event) override;       // no slots: ignored
    nelk_string commandCallback(commandEvent& event) override;
    void timerCallback(int id) override;               // stops any timer

private:
    // Sets one alarm control's state text and code, as the framework's broadcast does.
    void setAlarm(const nelk_string& control, const char* state);

    nelk_string title;  // the title shown, as last set
};
