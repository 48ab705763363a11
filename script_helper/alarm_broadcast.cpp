// Alarm broadcast: one state applied to every "alm_" control of panel 1.
#include "nelk_script_helper_lines.h"
#include "nelk_script_helper.h"

namespace {

const int acknowledge = 4;
const int untouched = -1;

int stateCode(nelk_stringview state) {
    if (state == "ack") return acknowledge;
    if (state.length() == 1) return state.toInt();
    return untouched;
}

// Readings that acknowledge leaves as they are.
bool keptOnAcknowledge(int reading) { return reading == 0 || (reading >= 2 && reading <= 5); }

}  // namespace

void nelk_script_helper::alarmBroadcast(const nelk_string& state) { alarmBroadcast(nelk_stringview(state)); }

void nelk_script_helper::alarmBroadcast(nelk_stringview state) {
    using namespace nelk_command_line;
    const int code = stateCode(state);
    constexpr nelk_stringview panel("1");
    constexpr nelk_stringview value("value");
    // The lines of controlList, textPut and textGet, each head joined once for all the controls;
    // the host's list is copied once and walked in place.
    answer_copy names;
    line setAlarm;  // the query's line first
    controlListLine(setAlarm, panel, nelk_stringview("alm_"));
    if (!ask(host, setAlarm.text(), [&](nelk_stringview answer) { names.append(answer); })) return;
    setAlarm.cut(0);
    textPutHead(setAlarm, nelk_stringview("alarm"), state, panel);
    const int setAlarmHead = setAlarm.length();
    line readValue;
    if (code == acknowledge) textGetHead(readValue, panel);
    const int readValueHead = readValue.length();
    line setValue;
    if (code != untouched) textPutHead(setValue, value, decimal(code), panel);  // on acknowledge, 4 too
    const int setValueHead = setValue.length();
    nelk_string reading;
    property_address valueOf{value, panel, nelk_stringview()};
    nelk_stringview rest = names.view();
    // Every piece between commas is a control, empty ones included; no text, no control.
    for (bool more = !rest.empty(); more;) {
        nelk_stringview& control = valueOf.control;
        more = rest.split(',', control, rest);
        setAlarm.cut(setAlarmHead);
        textPutTail(setAlarm, control);
        send(host, setAlarm.text());
        bool setsValue = code != untouched;
        if (code == acknowledge) {
            readValue.cut(readValueHead);
            textGetTail(readValue, control, value);
            readProperty(host, readValue.text(), valueOf, reading);
            setsValue = !keptOnAcknowledge(reading.toInt());
        }
        if (setsValue) {
            setValue.cut(setValueHead);
            textPutTail(setValue, control);
            send(host, setValue.text());
        }
    }
}
