// Alarm broadcast: one state applied to every "alm_" control of panel 1.
#include "nelk_script_helper.h"

namespace {

const int acknowledge = 4;
const int untouched = -1;

int stateCode(const nelk_string& state) {
    if (state == "ack") return acknowledge;
    if (state.length() == 1) return state.toInt();
    return untouched;
}

// Readings that acknowledge leaves as they are.
bool keptOnAcknowledge(int reading) { return reading == 0 || (reading >= 2 && reading <= 5); }

}  // namespace

void nelk_script_helper::alarmBroadcast(const nelk_string& state) {
    const int code = stateCode(state);
    const nelk_string panel("1");
    const nelk_string alarm("alarm");
    const nelk_string value("value");
    const nelk_string acknowledged(acknowledge, '\0', 0, 10);
    const nelk_string codeText(code, '\0', 0, 10);
    const nelk_stringlist controls = controlList(panel, "alm_");
    for (const nelk_string& control : controls) {
        textPut(alarm, state, panel, control);
        if (code == acknowledge) {
            nelk_string reading;
            textGet(value, panel, control, reading);
            if (!keptOnAcknowledge(reading.toInt())) textPut(value, acknowledged, panel, control);
        } else if (code != untouched) {
            textPut(value, codeText, panel, control);
        }
    }
}
