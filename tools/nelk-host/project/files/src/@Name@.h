// @Name@: shows "@name@.nelk_ui" in panel 1 and
//   - keeps one property, "Label" (the command "Label=TEXT"), shown in the control "label";
//   - answers one query, "return=all", with its state: "Label=TEXT";
//   - lists its commands in the answer to "_commands", one "name=[value]" a line;
//   - counts the presses of the button "Count" in the control "count";
//   - shows the text of slot 1 of driver 1 in the control "source";
//   - stops every timer that fires.
// Created by load_nelk_client_script and deleted by the host; every call comes on the host's thread.
#pragma once

#include "nelk_script_helper.h"

class @Name@ : public nelk_script_helper {
public:
    // host and text go unchanged to nelk_script_helper (the text is the layout's folder).
    // Shows panel 1 and registers for slot 1 of driver 1.
    @Name@(nelk_host* host, const char* text);
    // Gives up the slot; the framework then tells the host "AS".
    ~@Name@() override;

    // The hooks; what an event points to is valid during the call only.
    void buttonCallback(buttonEvent& event) override;
    int slotCallback(slotEvent& event) override;
    nelk_string commandCallback(commandEvent& event) override;
    void timerCallback(int id) override;

private:
    nelk_string label;  // the "Label" property, as last set
    int presses = 0;    // of the "Count" button
};
