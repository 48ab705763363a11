// The component framework: include this one header to write a component.
//
// A component derives from nelk_script_helper, implements the four pure hooks, and talks to the
// host only through the operations below, each of which builds one command line and sends it
// with hostSend(line, 0). Everything runs on the host's thread, inside the host's call of the
// entry, callback or the destructor; nothing here keeps state between calls.
#pragma once

#include "nelk_script_helper_lines.h"
#include "events.h"
#include "host_records.h"
#include "nelk_client_callback.h"
#include "nelk_component_entry.h"
#include "nelk_host.h"
#include "nelk_protocol.h"
#include "nelk_string.h"
#include "parsed_command.h"

class nelk_script_helper : public nelk_client_callback {
public:
    // host: kept, not owned; may be null, and then every line is dropped silently.
    // text: the load text, copied into basePath (null gives empty). Sends nothing.
    nelk_script_helper(nelk_host* host, const char* text) : host(host), basePath(text), alarmHandling(false) {}
    // After the derived destructor: sends "AS" (when host is set), then releases basePath.
    ~nelk_script_helper() override { announceShutdown(); }  // inline: one call less per deletion

    // The dispatcher, shared by every component:
    //   1 slotNotify*   -> slotCallback        2 buttonNotify* -> buttonCallback (or the alarm
    //   3 command text  -> commandCallback,       interception when alarmHandling is true)
    //      answer as a new block of length() + 1 bytes, null when empty or out of memory
    //   4 timer id (the word itself) -> timerCallback
    //   5 a kind-3 answer given back -> released     6 pointer -> dataCallback
    //   7 32-bit value (the word itself) -> numberCallback on a copy
    // Every other kind, and a null record for kinds 1 and 2, is ignored, and so is an event
    // whose texts cannot be taken (2 GB or more, or no memory): no exception leaves. All results
    // are null but a kind-3 answer. Re-entrant: all working state lives on this call's stack.
    const char* callback(void* data, int kind) override;

    // Hooks, in the host's order. Events and what they point to are valid during the call only.
    virtual void buttonCallback(buttonEvent& event) = 0;
    virtual int slotCallback(slotEvent& event) = 0;  // result ignored
    virtual nelk_string commandCallback(commandEvent& event) = 0;  // empty answer reaches the host as null
    virtual void numberCallback(int& value);  // value is the dispatcher's copy; writes are discarded
    virtual void timerCallback(int id) = 0;
    virtual void dataCallback(dataEvent& event);

protected:
    // Host commands. Each builds exactly one line and sends it when host is not null; texts are
    // quoted as they are (no escaping), numbers bare decimal, no line end.

    // "PS 'panel' 'basePath/file'[ 'extra']" (no "basePath/" when basePath is empty).
    // True when the host answers non-zero, or when there is no host.
    bool panelShow(const nelk_string& panel, const nelk_string& file, const nelk_string& extra);
    // "TP 'property=value' 'panel' 'control'".
    void textPut(const nelk_string& property, const nelk_string& value, const nelk_string& panel,
                 const nelk_string& control);
    // "IR driver first last[ 'ADD']".
    void infoRegister(int driver, int first, int last, bool add);
    // "IU driver".
    void infoUnregister(int driver);
    // "IW driver 'text' index flag", flag 1 or 0; the text is never scanned for markers.
    void infoWrite(int driver, const nelk_string& text, int index, bool flag);
    // "ET id".
    void timerStop(int id);
    // Sends "TG 'panel' 'control' 'property'" and assigns the property's value to result: the
    // whole answer for "all"; the empty text for no host, a null answer or a mismatch, which is
    // traced. The host's answer is copied and given back at once with kind 5.
    void textGet(const nelk_string& property, const nelk_string& panel, const nelk_string& control,
                 nelk_string& result);
    // Fills the format's markers in one pass (the lowest with a1, the next with a2, ...) and
    // writes the text unchanged to the debugger output; markers inside a1..a9 stay literal.
    void debugTrace(const nelk_string& format, const nelk_string& a1, const nelk_string& a2,
                    const nelk_string& a3, const nelk_string& a4, const nelk_string& a5,
                    const nelk_string& a6, const nelk_string& a7, const nelk_string& a8,
                    const nelk_string& a9);
    // Sends "XI 'panel' 'filter'" and returns the comma-separated names of the host's answer, in
    // its order; empty for no host or a null answer. The answer is copied and given back at once.
    nelk_stringlist controlList(const nelk_string& panel, const nelk_string& filter);
    // Sets "alarm" to `state` on every control that "XI '1' 'alm_'" lists, then "value" from the
    // state's code: "ack" or a single "4" acknowledges (reads "value", sets 4 unless it reads 0,
    // 2, 3, 4 or 5); another single character sets its toInt; anything else leaves it alone.
    void alarmBroadcast(const nelk_string& state);

    // The same operations on views, for texts that are only read: the bytes go straight into
    // the line, with no nelk_string made for them. The views are read during the call only.
    // (A literal needs nelk_stringview("..."): it picks the nelk_string form otherwise.) The
    // lines are joined inline, below, so that the compiler copies a constant view's bytes with
    // their length known, as it would a literal's.
    bool panelShow(nelk_stringview panel, nelk_stringview file, nelk_stringview extra);
    void textPut(nelk_stringview property, nelk_stringview value, nelk_stringview panel, nelk_stringview control);
    void infoWrite(int driver, nelk_stringview text, int index, bool flag);
    void textGet(nelk_stringview property, nelk_stringview panel, nelk_stringview control, nelk_string& result);
    void alarmBroadcast(nelk_stringview state);

    nelk_host* host;         // not owned; may be null
    nelk_string basePath;    // copy of the load text; directory prefix of layout files
    bool alarmHandling;      // false after construction; a component sets it to take "ActionAll"/"AckAll"

private:
    void announceShutdown() {
        if (host != nullptr) host->hostSend("AS", nelk_send::commandLine);
    }
    void controlEvent(buttonEvent& event);
    const char* commandNotification(const char* text);
};

// The host commands that are joined inline (see the class). Each builds its line on the
// caller's stack and sends it with kind 0 when there is a host.

NELK_JOINED_INLINE bool nelk_script_helper::panelShow(nelk_stringview panel, nelk_stringview file, nelk_stringview extra) {
    nelk_command_line::line command;
    if (basePath.length() > 0) {
        command.append("PS '", panel, "' '", basePath, "/", file, "'");
    } else {
        command.append("PS '", panel, "' '", file, "'");
    }
    if (!extra.empty()) command.append(" '", extra, "'");
    if (host == nullptr) return true;
    // The whole pointer-sized answer counts, never read as a text.
    return nelk_command_line::send(host, command.text()) != nullptr;
}

NELK_JOINED_INLINE void nelk_script_helper::textPut(nelk_stringview property, nelk_stringview value, nelk_stringview panel,
                                        nelk_stringview control) {
    nelk_command_line::line command;
    nelk_command_line::textPutHead(command, property, value, panel);
    nelk_command_line::textPutTail(command, control);
    nelk_command_line::send(host, command.text());
}

NELK_JOINED_INLINE void nelk_script_helper::infoRegister(int driver, int first, int last, bool add) {
    using nelk_command_line::decimal;
    nelk_command_line::line command;
    command.append("IR ", decimal(driver), " ", decimal(first), " ", decimal(last));
    if (add) command.append(" 'ADD'");
    nelk_command_line::send(host, command.text());
}

NELK_JOINED_INLINE void nelk_script_helper::infoUnregister(int driver) {
    nelk_command_line::line command;
    command.append("IU ", nelk_command_line::decimal(driver));
    nelk_command_line::send(host, command.text());
}

NELK_JOINED_INLINE void nelk_script_helper::infoWrite(int driver, nelk_stringview text, int index, bool flag) {
    using nelk_command_line::decimal;
    // The text is joined in as it is, never scanned, so a "%1" inside it stays.
    nelk_command_line::line command;
    command.append("IW ", decimal(driver), " '", text, "' ", decimal(index), flag ? " 1" : " 0");
    nelk_command_line::send(host, command.text());
}

NELK_JOINED_INLINE void nelk_script_helper::timerStop(int id) {
    nelk_command_line::line command;
    command.append("ET ", nelk_command_line::decimal(id));
    nelk_command_line::send(host, command.text());
}

// The signature text that marks a built library; read by nothing.
extern "C" char librarySignature[];
