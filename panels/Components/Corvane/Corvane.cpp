#include "Corvane.h"

namespace {
const char panel[] = "1";
}  // namespace

Corvane::Corvane(nelk_host* host, const char* text) : nelk_script_helper(host, text), infoDriverId(0), slot(0) {
    panelShow(panel, "corvane.nelk_ui", nelk_string());
}

Corvane::~Corvane() {
    if (bound()) infoUnregister(infoDriverId);
}

void Corvane::buttonCallback(buttonEvent&) {}

int Corvane::slotCallback(slotEvent& event) {
    if (event.device() == infoDriverId && event.index() == slot) textPut("text", event.slotText(), panel, "umdText");
    return 0;
}

void Corvane::timerCallback(int id) { timerStop(id); }

nelk_string Corvane::commandCallback(commandEvent& event) {
    const nelk_string name = event.commandName();
    if (name == "return") return event.commandValue() == "all" ? settings() : nelk_string();
    if (name == "text") {
        if (bound()) infoWrite(infoDriverId, event.commandValue(), slot, false);
        return nelk_string();
    }
    if (name == "InfoDriverID") {
        accept(event.commandValue(), nelk_range::firstDriver, nelk_range::lastDriver, infoDriverId);
        return nelk_string();
    }
    if (name == "Slot") {
        accept(event.commandValue(), nelk_range::firstSlot, nelk_range::lastSlot, slot);
        return nelk_string();
    }
    if (name == "_events") return nelk_string();  // no events: the empty answer, null for the host
    if (name == "_commands") {
        nelk_stringlist commands;
        commands << "text=[value]" << "InfoDriverID=[value]" << "Slot=[value]";
        return commands.toString('\n');
    }
    return nelk_string();
}

nelk_string Corvane::settings() const {
    nelk_stringlist list(nelk_string(), ',');
    list << nelk_string("InfoDriverID=%1").arg(infoDriverId, '\0', 0, 10)
         << nelk_string("Slot=%1").arg(slot, '\0', 0, 10);
    return list.toString('\n');
}

// Takes the first integer of `value` into `setting` (the driver or the slot) when it lies in
// `first` to `last`, and registers again: after an "IU" for the old driver when the component was bound.
void Corvane::accept(const nelk_string& value, int first, int last, int& setting) {
    const int number = value.firstInt();
    if (number < first || number > last) return;
    if (bound()) infoUnregister(infoDriverId);
    setting = number;
    infoRegister(infoDriverId, slot, slot, false);
}
