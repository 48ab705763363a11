// Broken on purpose: keeps a small record of every twentieth command for good.
#include <cstdlib>

#include "broken_component.h"

class slow_leak : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent&) override {
        if (++seen_ % 20 == 0) kept_ = std::malloc(16);  // the previous record is lost
        return nelk_string();
    }

private:
    long seen_ = 0;
    void* kept_ = nullptr;
};

NELK_BROKEN_ENTRY(slow_leak)
