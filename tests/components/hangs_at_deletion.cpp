// Broken on purpose: its destructor never returns, so a host that deletes it at its end hangs.
#include <chrono>
#include <thread>

#include "broken_component.h"

class hangs_at_deletion : public quiet_component {
public:
    using quiet_component::quiet_component;
    ~hangs_at_deletion() override {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
};

NELK_BROKEN_ENTRY(hangs_at_deletion)
