// "TG" with its name check, and the debugger trace that reports a mismatch.
#include "nelk_script_helper_lines.h"
#include "debugger_output.h"
#include "nelk_script_helper.h"

namespace nelk_command_line {

void traceMismatch(const nelk_string& answer, const property_address& address) {
    static const char format[] =
        "textGet: value returned \"%1\" was not the value requested \"%2\" "
        "(value returned was \"%3\" from control \"%4\", on panel \"%5\")";
    nelk_string name;
    nelk_string value;
    answer.split('=', name, value);
    const nelk_string property(address.property);
    const nelk_string control(address.control);
    const nelk_string panel(address.panel);
    const nelk_string* texts[] = {&name, &property, &answer, &control, &panel};
    nelk_debugger_output::trace(nelk_string(format), texts, 5);
}

}  // namespace nelk_command_line

void nelk_script_helper::textGet(const nelk_string& property, const nelk_string& panel, const nelk_string& control,
                                 nelk_string& result) {
    textGet(nelk_stringview(property), nelk_stringview(panel), nelk_stringview(control), result);
}

void nelk_script_helper::textGet(nelk_stringview property, nelk_stringview panel, nelk_stringview control,
                                 nelk_string& result) {
    nelk_command_line::line command;
    nelk_command_line::textGetHead(command, panel);
    nelk_command_line::textGetTail(command, control, property);
    nelk_command_line::readProperty(host, command.text(), {property, panel, control}, result);
}

void nelk_script_helper::debugTrace(const nelk_string& format, const nelk_string& a1, const nelk_string& a2,
                                    const nelk_string& a3, const nelk_string& a4, const nelk_string& a5,
                                    const nelk_string& a6, const nelk_string& a7, const nelk_string& a8,
                                    const nelk_string& a9) {
    const nelk_string* texts[] = {&a1, &a2, &a3, &a4, &a5, &a6, &a7, &a8, &a9};
    nelk_debugger_output::trace(format, texts, 9);
}
