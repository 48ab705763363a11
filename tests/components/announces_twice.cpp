// Broken on purpose: its own destructor says "AS", and the framework's says it again.
#include "broken_component.h"

class announces_twice : public quiet_component {
public:
    using quiet_component::quiet_component;
    ~announces_twice() override {
        if (host != nullptr) host->hostSend("AS", 0);
    }
};

NELK_BROKEN_ENTRY(announces_twice)
