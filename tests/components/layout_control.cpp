// Broken on purpose: shows its layout from the host's folder, and its "Reset" control (there,
// never named in a line) reads a pointer nothing set.
#include "broken_component.h"

class layout_control : public quiet_component {
public:
    layout_control(nelk_host* host, const char* text) : quiet_component(host, text) {
        panelShow(nelk_stringview("1"), nelk_stringview("layout_control.nelk_ui"), nelk_stringview(""));
    }
    void buttonCallback(buttonEvent& event) override {
        if (event.controlId() == "Reset") textPut("text", *pending_, "1", "status");
    }

private:
    const char** pending_ = nullptr;
};

NELK_BROKEN_ENTRY(layout_control)
