// Broken on purpose: built without hiding its symbols, so it exports its classes and the
// framework besides its entry.
#include "broken_component.h"

class exports_everything : public quiet_component {
public:
    using quiet_component::quiet_component;
};

NELK_BROKEN_ENTRY(exports_everything)
