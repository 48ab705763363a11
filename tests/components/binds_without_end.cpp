// Broken on purpose: registers once bound ("InfoDriverID" and "Slot" both set) and ends the
// registration when a setting goes back to 0, but not when it is deleted bound, as a host deletes
// a panel the operator closes.
#include "broken_component.h"

class binds_without_end : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        const nelk_string name = event.commandName();
        if (name == "_commands") return "InfoDriverID=[driver]\nSlot=[slot]";
        if (name == "return" && event.commandValue() == "all")
            return "InfoDriverID=" + nelk_string(driver_, '\0', 0, 10) + "\nSlot=" + nelk_string(slot_, '\0', 0, 10);
        if (name != "InfoDriverID" && name != "Slot") return nelk_string();
        const int value = event.commandValue().toInt();
        if (value < 0 || value > (name == "Slot" ? 4096 : 999)) return nelk_string();
        if (driver_ != 0 && slot_ != 0) infoUnregister(driver_);
        (name == "Slot" ? slot_ : driver_) = value;
        if (driver_ != 0 && slot_ != 0) infoRegister(driver_, slot_, slot_, false);
        return nelk_string();
    }

private:
    int driver_ = 0;
    int slot_ = 0;
};

NELK_BROKEN_ENTRY(binds_without_end)
