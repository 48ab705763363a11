// "TG" with its name check, and the debugger trace that reports a mismatch.
#include "command_line.h"
#include "debugger_output.h"
#include "nelk_script_helper.h"

namespace {
const char mismatchFormat[] =
    "textGet: value returned \"%1\" was not the value requested \"%2\" "
    "(value returned was \"%3\" from control \"%4\", on panel \"%5\")";
}  // namespace

void nelk_script_helper::textGet(const nelk_string& property, const nelk_string& panel, const nelk_string& control,
                                 nelk_string& result) {
    const nelk_command_line::line command({"TG '", panel, "' '", control, "' '", property, "'"});
    if (host == nullptr) {
        result = "";
        return;
    }
    void* answer = host->hostSend(command.text(), nelk_send::commandLine);
    if (answer == nullptr) {
        result = "";
        return;
    }
    // Copy first, then give the host's text back at once; only the copy is used after this.
    const nelk_string copy(static_cast<const char*>(answer));
    host->hostSend(static_cast<const char*>(answer), nelk_send::giveBack);
    if (property == "all") {
        result = copy;
        return;
    }
    nelk_string name;
    nelk_string value;
    copy.split('=', name, value);
    if (name == property) {
        result = value;
        return;
    }
    const nelk_string none;
    debugTrace(mismatchFormat, name, property, copy, control, panel, none, none, none, none);
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
