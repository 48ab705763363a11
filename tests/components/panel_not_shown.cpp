// Broken on purpose: when the host cannot show its panel ("PS" answered 0) it keeps no controls,
// and then reads the first one all the same (through the empty list's null data).
#include <vector>

#include "broken_component.h"

class panel_not_shown : public quiet_component {
public:
    panel_not_shown(nelk_host* host, const char* text) : quiet_component(host, text) {
        if (panelShow(nelk_stringview("1"), nelk_stringview("panel_not_shown.nelk_ui"), nelk_stringview("")))
            controls_.emplace_back("title");
    }
    void timerCallback(int) override { textPut("text", *controls_.data(), "1", "title"); }

private:
    std::vector<nelk_string> controls_;
};

NELK_BROKEN_ENTRY(panel_not_shown)
