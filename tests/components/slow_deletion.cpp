// Broken on purpose: its deletion takes 200 ms every time (a worker it waits out the long way),
// which a host makes on its own thread whenever the operator closes the panel.
#include <chrono>
#include <thread>

#include "broken_component.h"

class slow_deletion : public quiet_component {
public:
    using quiet_component::quiet_component;
    ~slow_deletion() override { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }
};

NELK_BROKEN_ENTRY(slow_deletion)
