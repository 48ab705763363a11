// Broken on purpose: rounds its level arithmetic upward by switching the floating-point mode of
// the whole thread, and leaves it so.
#include <cfenv>

#include "broken_component.h"

class changes_rounding : public quiet_component {
public:
    using quiet_component::quiet_component;
    void numberCallback(int&) override { std::fesetround(FE_UPWARD); }
};

NELK_BROKEN_ENTRY(changes_rounding)
