#include "@Name@.h"

namespace {
const char panel[] = "1";
const int slotDriver = 1;
const int watchedSlot = 1;
}  // namespace

@Name@::@Name@(nelk_host* host, const char* text) : nelk_script_helper(host, text), label("@Name@") {
    panelShow(panel, "@name@.nelk_ui", nelk_string());
    infoRegister(slotDriver, watchedSlot, watchedSlot, false);
}

@Name@::~@Name@() { infoUnregister(slotDriver); }

void @Name@::buttonCallback(buttonEvent& event) {
    if (event.controlId() == "Count") {
        ++presses;
        textPut("text", nelk_string(presses, ' ', 0, 10), panel, "count");
    }
}

int @Name@::slotCallback(slotEvent& event) {
    if (event.device() == slotDriver && event.index() == watchedSlot) textPut("text", event.slotText(), panel, "source");
    return 0;
}

nelk_string @Name@::commandCallback(commandEvent& event) {
    const nelk_string name = event.commandName();
    if (name == "Label") {
        label = event.commandValue();
        textPut("text", label, panel, "label");
    } else if (name == "return" && event.commandValue() == "all") {
        return "Label=" + label;  // copied for the host by the framework
    } else if (name == "_commands") {
        return "Label=[text]";  // what a host, and the validator, may send
    }
    return nelk_string();  // reaches the host as null
}

void @Name@::timerCallback(int id) { timerStop(id); }
