// Broken on purpose: ends the process with _exit(0) on a number event.
#include <unistd.h>

#include "broken_component.h"

class underscore_exits : public quiet_component {
public:
    using quiet_component::quiet_component;
    void numberCallback(int&) override { _exit(0); }
};

NELK_BROKEN_ENTRY(underscore_exits)
