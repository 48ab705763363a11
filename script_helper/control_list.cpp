// "XI": the names of a panel's controls that the host selects with a filter.
#include "nelk_script_helper_lines.h"
#include "nelk_script_helper.h"

nelk_stringlist nelk_script_helper::controlList(const nelk_string& panel, const nelk_string& filter) {
    nelk_command_line::line command;
    nelk_command_line::controlListLine(command, panel, filter);
    // The list is the copy: its items are made from the host's text before it is given back.
    nelk_stringlist names;
    nelk_command_line::ask(host, command.text(),
                           [&](nelk_stringview answer) { names = nelk_stringlist(answer, ','); });
    return names;
}
