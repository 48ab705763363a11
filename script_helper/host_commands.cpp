// The host command set: one line per operation, sent with kind 0 when there is a host.
#include "command_line.h"
#include "nelk_script_helper.h"

using nelk_command_line::format;
using nelk_command_line::line;
using nelk_command_line::piece;

bool nelk_script_helper::panelShow(const nelk_string& panel, const nelk_string& file, const nelk_string& extra) {
    const bool withPath = basePath.length() > 0;
    const bool withExtra = extra.length() > 0;
    const piece path = withPath ? piece(basePath) : piece("");
    const line command({"PS '", panel, "' '", path, withPath ? "/" : "", file, "'", withExtra ? " '" : "", extra,
                        withExtra ? "'" : ""});
    if (host == nullptr) return true;
    // The whole pointer-sized answer counts, never read as a text.
    return host->hostSend(command.text(), nelk_send::commandLine) != nullptr;
}

void nelk_script_helper::textPut(const nelk_string& property, const nelk_string& value, const nelk_string& panel,
                                 const nelk_string& control) {
    const line command({"TP '", property, "=", value, "' '", panel, "' '", control, "'"});
    if (host != nullptr) host->hostSend(command.text(), nelk_send::commandLine);
}

void nelk_script_helper::infoRegister(int driver, int first, int last, bool add) {
    char command[64];
    format(command, sizeof command, add ? "IR %d %d %d 'ADD'" : "IR %d %d %d", driver, first, last);
    if (host != nullptr) host->hostSend(command, nelk_send::commandLine);
}

void nelk_script_helper::infoUnregister(int driver) {
    char command[32];
    format(command, sizeof command, "IU %d", driver);
    if (host != nullptr) host->hostSend(command, nelk_send::commandLine);
}

void nelk_script_helper::infoWrite(int driver, const nelk_string& text, int index, bool flag) {
    // The numbers are placed first and the text joined in as it is, so a "%1" inside it stays.
    char driverText[12];
    char indexText[12];
    *nelk_command_line::writeDecimal(driverText, driver) = '\0';
    *nelk_command_line::writeDecimal(indexText, index) = '\0';
    const line command({"IW ", driverText, " '", text, "' ", indexText, flag ? " 1" : " 0"});
    if (host != nullptr) host->hostSend(command.text(), nelk_send::commandLine);
}

void nelk_script_helper::timerStop(int id) {
    char command[32];
    format(command, sizeof command, "ET %d", id);
    if (host != nullptr) host->hostSend(command, nelk_send::commandLine);
}
