#include "Corvane.h"

namespace {
const char panel[] = "1";
const int lastDriver = 999;
const int lastSlot = 4096;

}  // namespace

Corvane::Corvane(nelk_host* host, const char* text) : nelk_script_helper(host, text), infoDriverId(0), slot(0) {
    panelShow(panel, "corvane.nelk_ui", nelk_string());
}

Corvane::~Corvane() {
    if (bound()) {
        infoUnregister(infoDriverId);
        infoDriverId = 0;
        slot = 0;
    }
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
        setDriver(event.commandValue());
        return nelk_string();
    }
    if (name == "Slot") {
        setSlot(event.commandValue());
        return nelk_string();
    }
    if (name == "_events") {
        nelk_stringlist events;
        events << nelk_string();
        return events.toString('\n');
    }
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

void Corvane::setDriver(const nelk_string& value) {
    const int driver = value.firstInt();
    if (driver < 1 || driver > lastDriver) return;
    if (bound()) infoUnregister(infoDriverId);
    infoDriverId = driver;
    infoRegister(infoDriverId, slot, slot, false);
}

void Corvane::setSlot(const nelk_string& value) {
    const int index = value.firstInt();
    if (index < 1 || index > lastSlot) return;
    if (bound()) infoUnregister(infoDriverId);
    slot = index;
    infoRegister(infoDriverId, slot, slot, false);
}
