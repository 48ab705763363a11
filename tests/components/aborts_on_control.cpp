// Broken on purpose: aborts (a failed assertion) on any control event.
#include <cstdlib>

#include "broken_component.h"

class aborts_on_control : public quiet_component {
public:
    using quiet_component::quiet_component;
    void buttonCallback(buttonEvent&) override { std::abort(); }
};

NELK_BROKEN_ENTRY(aborts_on_control)
