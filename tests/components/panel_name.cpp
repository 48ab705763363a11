// Broken on purpose: shows its panel by a name where a host takes a number.
#include "broken_component.h"

class panel_name : public quiet_component {
public:
    panel_name(nelk_host* host, const char* text) : quiet_component(host, text) {
        panelShow(nelk_stringview("main"), nelk_stringview("panel_name.nelk_ui"), nelk_stringview(""));
    }
};

NELK_BROKEN_ENTRY(panel_name)
