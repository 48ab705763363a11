// Unusual on purpose: shows a layout that is not in its folder. A WARN, which --strict makes a
// failure.
#include "broken_component.h"

class layout_missing : public quiet_component {
public:
    layout_missing(nelk_host* host, const char* text) : quiet_component(host, text) {
        panelShow(nelk_stringview("1"), nelk_stringview("not_there.nelk_ui"), nelk_stringview(""));
    }
};

NELK_BROKEN_ENTRY(layout_missing)
