// A correct component with the alarm facility switched on: it sends "XI" and "TG" on "ActionAll"
// and "AckAll", so the validator's host-text checks have texts to judge.
#include "broken_component.h"

class alarm_panel : public quiet_component {
public:
    alarm_panel(nelk_host* host, const char* text) : quiet_component(host, text, true) {}
};

NELK_BROKEN_ENTRY(alarm_panel)
