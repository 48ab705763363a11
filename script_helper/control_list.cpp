// "XI": the names of a panel's controls that the host selects with a filter.
#include "command_line.h"
#include "nelk_script_helper.h"

nelk_stringlist nelk_script_helper::controlList(const nelk_string& panel, const nelk_string& filter) {
    // Both texts are placed in one pass, so a "%2" inside the panel text is not filled again.
    const nelk_command_line::line command({"XI '", panel, "' '", filter, "'"});
    if (host == nullptr) return nelk_stringlist();
    void* answer = host->hostSend(command.text(), nelk_send::commandLine);
    if (answer == nullptr) return nelk_stringlist();
    const nelk_string copy(static_cast<const char*>(answer));
    host->hostSend(static_cast<const char*>(answer), nelk_send::giveBack);
    return nelk_stringlist(copy, ',');
}
