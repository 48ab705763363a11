// Corvane: ties panel 1 to one slot of one info driver.
//
// Shows "corvane.nelk_ui" in panel 1 when created; takes "InfoDriverID" (1-999) and "Slot"
// (1-4096) as properties and registers for that slot; writes every "text" it gets while both are
// set into the slot; copies every text the host reports for the slot into control umdText.
// Created only by load_nelk_client_script and deleted by the host; host's thread only.
#pragma once

#include "nelk_script_helper.h"

class Corvane : public nelk_script_helper {
public:
    // host and text go unchanged to nelk_script_helper; sends "PS" for panel 1.
    Corvane(nelk_host* host, const char* text);
    // Sends "IU" for the driver while bound; the base then sends "AS".
    ~Corvane() override;

    void buttonCallback(buttonEvent& event) override;  // control events are ignored
    int slotCallback(slotEvent& event) override;
    nelk_string commandCallback(commandEvent& event) override;
    void timerCallback(int id) override;

private:
    bool bound() const noexcept { return infoDriverId != 0 && slot != 0; }
    nelk_string settings() const;
    void accept(nelk_stringview value, int first, int last, int& setting);

    int infoDriverId;  // 0 = not set, otherwise 1 to 999
    int slot;          // 0 = not set, otherwise 1 to 4096
};
