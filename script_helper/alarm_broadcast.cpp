// Alarm broadcast: one state applied to every "alm_" control of panel 1.
#include "command_line.h"
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
    {
        line query;
        controlListLine(query, panel, nelk_stringview("alm_"));
        if (!ask(host, query.text(), [&](const char* answer) { names.append(nelk_stringview(answer)); })) return;
    }
    line setAlarm;
    textPutHead(setAlarm, nelk_stringview("alarm"), state, panel);
    const int setAlarmHead = setAlarm.length();
    line readValue;
    textGetHead(readValue, panel);
    const int readValueHead = readValue.length();
    line setValue;
    textPutHead(setValue, value, decimal(code), panel);  // on acknowledge, 4 too
    const int setValueHead = setValue.length();
    nelk_string reading;
    nelk_stringview rest = names.view();
    // Every piece between commas is a control, empty ones included; no text, no control.
    for (bool more = !rest.empty(); more;) {
        nelk_stringview control;
        more = rest.split(',', control, rest);
        setAlarm.cut(setAlarmHead);
        textPutTail(setAlarm, control);
        send(host, setAlarm.text());
        bool setsValue = code != untouched;
        if (code == acknowledge) {
            readValue.cut(readValueHead);
            textGetTail(readValue, control, value);
            readProperty(readValue.text(), value, panel, control, reading);
            setsValue = !keptOnAcknowledge(reading.toInt());
        }
        if (setsValue) {
            setValue.cut(setValueHead);
            textPutTail(setValue, control);
            send(host, setValue.text());
        }
    }
}
