#include "Corvane.h"

namespace {
// Fixed texts as views, so that no nelk_string is made for them (constant, nothing runs on load).
constexpr nelk_stringview panel("1");
constexpr nelk_stringview layout("corvane.nelk_ui");
constexpr nelk_stringview textProperty("text");
constexpr nelk_stringview display("umdText");
}  // namespace

Corvane::Corvane(nelk_host* host, const char* text) : nelk_script_helper(host, text), infoDriverId(0), slot(0) {
    panelShow(panel, layout, nelk_stringview());
}

Corvane::~Corvane() {
    if (bound()) infoUnregister(infoDriverId);
}

void Corvane::buttonCallback(buttonEvent&) {}

int Corvane::slotCallback(slotEvent& event) {
    // The slot's text is only passed on: read in place, whatever its length.
    if (event.device() == infoDriverId && event.index() == slot) textPut(textProperty, event.slotTextView(), panel, display);
    return 0;
}

void Corvane::timerCallback(int id) { timerStop(id); }

nelk_string Corvane::commandCallback(commandEvent& event) {
    const nelk_stringview name = event.commandNameView();
    if (name == "return") return event.commandValueView() == "all" ? settings() : nelk_string();
    if (name == "text") {
        if (bound()) infoWrite(infoDriverId, event.commandValueView(), slot, false);
        return nelk_string();
    }
    if (name == "InfoDriverID") {
        accept(event.commandValueView(), nelk_range::firstDriver, nelk_range::lastDriver, infoDriverId);
        return nelk_string();
    }
    if (name == "Slot") {
        accept(event.commandValueView(), nelk_range::firstSlot, nelk_range::lastSlot, slot);
        return nelk_string();
    }
    if (name == "_events") return nelk_string();  // no events: the empty answer, null for the host
    if (name == "_commands") return nelk_string("text=[value]\nInfoDriverID=[value]\nSlot=[value]");
    return nelk_string();
}

// "InfoDriverID=<driver>" and "Slot=<slot>" on two lines, written straight into the answer.
nelk_string Corvane::settings() const {
    nelk_string answer("InfoDriverID=");
    answer += nelk_string(infoDriverId, '\0', 0, 10);
    answer += "\nSlot=";
    answer += nelk_string(slot, '\0', 0, 10);
    return answer;
}

// Takes the first integer of `value` into `setting` (the driver or the slot) when it lies in
// `first` to `last`, and registers again: after an "IU" for the old driver when the component was bound.
void Corvane::accept(nelk_stringview value, int first, int last, int& setting) {
    const int number = value.firstInt();
    if (number < first || number > last) return;
    if (bound()) infoUnregister(infoDriverId);
    setting = number;
    infoRegister(infoDriverId, slot, slot, false);
}
