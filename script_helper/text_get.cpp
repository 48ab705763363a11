// "TG" with its name check, and the debugger trace that reports a mismatch.
#include "command_line.h"
#include "debugger_output.h"
#include "nelk_script_helper.h"

namespace {

const char mismatchFormat[] =
    "textGet: value returned \"%1\" was not the value requested \"%2\" "
    "(value returned was \"%3\" from control \"%4\", on panel \"%5\")";

// The value in a host's answer when the answer's name, the text before its first '=' (the whole
// answer when it has none), is exactly `property`; null when it is another name. Read in place,
// so that only the value is ever copied.
const char* valueFor(const char* answer, nelk_stringview property) {
    const char* at = answer;
    for (int i = 0; i < property.length(); ++i, ++at) {
        if (*at != property.data()[i] || *at == '\0' || *at == '=') return nullptr;
    }
    if (*at == '=') return at + 1;
    return *at == '\0' ? at : nullptr;
}

}  // namespace

void nelk_script_helper::textGet(const nelk_string& property, const nelk_string& panel, const nelk_string& control,
                                 nelk_string& result) {
    textGet(nelk_stringview(property), nelk_stringview(panel), nelk_stringview(control), result);
}

void nelk_script_helper::textGet(nelk_stringview property, nelk_stringview panel, nelk_stringview control,
                                 nelk_string& result) {
    nelk_command_line::line command;
    nelk_command_line::textGetHead(command, panel);
    nelk_command_line::textGetTail(command, control, property);
    readProperty(command.text(), property, panel, control, result);
}

void nelk_script_helper::readProperty(const char* line, nelk_stringview property, nelk_stringview panel,
                                      nelk_stringview control, nelk_string& result) {
    // The host's text is read before it is given back: the value (or for "all" the whole
    // answer) is copied into result; an answer for another property is copied whole, for the
    // trace. `result` may be one of the texts the views show, so it is written last.
    bool matched = true;
    nelk_string other;
    const bool answered = nelk_command_line::ask(host, line, [&](const char* answer) {
        const char* value = property == "all" ? answer : valueFor(answer, property);
        if (value != nullptr) {
            result = value;
        } else {
            other = answer;
            matched = false;
        }
    });
    if (!answered) {
        result = "";
        return;
    }
    if (matched) return;
    nelk_string name;
    nelk_string value;
    other.split('=', name, value);
    const nelk_string none;
    debugTrace(mismatchFormat, name, nelk_string(property), other, nelk_string(control), nelk_string(panel), none,
               none, none, none);
    result = "";
}

void nelk_script_helper::debugTrace(const nelk_string& format, const nelk_string& a1, const nelk_string& a2,
                                    const nelk_string& a3, const nelk_string& a4, const nelk_string& a5,
                                    const nelk_string& a6, const nelk_string& a7, const nelk_string& a8,
                                    const nelk_string& a9) {
    const nelk_string* texts[] = {&a1, &a2, &a3, &a4, &a5, &a6, &a7, &a8, &a9};
    const nelk_string message = format.argEach(texts, 9);
    nelk_debugger_output::write(message);
}
