// The host command set: one line per operation, sent with kind 0 when there is a host.
#include "command_line.h"
#include "nelk_script_helper.h"

using nelk_command_line::decimal;
using nelk_command_line::line;
using nelk_command_line::send;

bool nelk_script_helper::panelShow(const nelk_string& panel, const nelk_string& file, const nelk_string& extra) {
    return panelShow(nelk_stringview(panel), nelk_stringview(file), nelk_stringview(extra));
}

bool nelk_script_helper::panelShow(nelk_stringview panel, nelk_stringview file, nelk_stringview extra) {
    line command;
    if (basePath.length() > 0) {
        command.append("PS '", panel, "' '", basePath, "/", file, "'");
    } else {
        command.append("PS '", panel, "' '", file, "'");
    }
    if (!extra.empty()) command.append(" '", extra, "'");
    if (host == nullptr) return true;
    // The whole pointer-sized answer counts, never read as a text.
    return send(host, command.text()) != nullptr;
}

void nelk_script_helper::textPut(const nelk_string& property, const nelk_string& value, const nelk_string& panel,
                                 const nelk_string& control) {
    textPut(nelk_stringview(property), nelk_stringview(value), nelk_stringview(panel), nelk_stringview(control));
}

void nelk_script_helper::textPut(nelk_stringview property, nelk_stringview value, nelk_stringview panel,
                                 nelk_stringview control) {
    line command;
    nelk_command_line::textPutHead(command, property, value, panel);
    nelk_command_line::textPutTail(command, control);
    send(host, command.text());
}

void nelk_script_helper::infoRegister(int driver, int first, int last, bool add) {
    line command;
    command.append("IR ", decimal(driver), " ", decimal(first), " ", decimal(last));
    if (add) command.append(" 'ADD'");
    send(host, command.text());
}

void nelk_script_helper::infoUnregister(int driver) {
    line command;
    command.append("IU ", decimal(driver));
    send(host, command.text());
}

void nelk_script_helper::infoWrite(int driver, const nelk_string& text, int index, bool flag) {
    infoWrite(driver, nelk_stringview(text), index, flag);
}

void nelk_script_helper::infoWrite(int driver, nelk_stringview text, int index, bool flag) {
    // The text is joined in as it is, never scanned, so a "%1" inside it stays.
    line command;
    command.append("IW ", decimal(driver), " '", text, "' ", decimal(index), flag ? " 1" : " 0");
    send(host, command.text());
}

void nelk_script_helper::timerStop(int id) {
    line command;
    command.append("ET ", decimal(id));
    send(host, command.text());
}
