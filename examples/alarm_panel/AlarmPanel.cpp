#include "AlarmPanel.h"

namespace {
const char panel[] = "1";
const char alarmPrefix[] = "alm_";

bool isAlarmControl(const nelk_string& id) {
    const char* text = id;
    for (int i = 0; alarmPrefix[i] != '\0'; ++i) {
        if (text[i] != alarmPrefix[i]) return false;
    }
    return id.length() > 4;
}
}  // namespace

AlarmPanel::AlarmPanel(nelk_host* host, const char* text) : nelk_script_helper(host, text), title("Studio alarms") {
    alarmHandling = true;  // "ActionAll" and "AckAll" are the framework's
    panelShow(panel, "alarm_panel.nelk_ui", nelk_string());
}

void AlarmPanel::buttonCallback(buttonEvent& event) {
    if (event.controlId() == "Reset") alarmBroadcast("0");
}

int AlarmPanel::slotCallback(slotEvent&) { return 0; }

void AlarmPanel::timerCallback(int id) { timerStop(id); }

void AlarmPanel::setAlarm(const nelk_string& control, const char* state) {
    textPut("alarm", state, panel, control);
    textPut("value", state, panel, control);
}

nelk_string AlarmPanel::commandCallback(commandEvent& event) {
    const nelk_string name = event.commandName();
    if (name == "Title") {
        title = event.commandValue();
        textPut("text", title, panel, "title");
    } else if (name == "Raise" || name == "Clear") {
        const nelk_string control = event.commandValue();
        if (isAlarmControl(control)) setAlarm(control, name == "Raise" ? "1" : "0");
    } else if (name == "return" && event.commandValue() == "all") {
        return "Title=" + title;
    } else if (name == "_commands") {
        return "Title=[value]\nRaise=[control]\nClear=[control]";
    }
    return nelk_string();
}
