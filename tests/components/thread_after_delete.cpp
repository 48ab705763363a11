// Broken on purpose: hands slow work to a detached thread, which outlives the component that
// started it (and may outlive the library).
#include <chrono>
#include <thread>

#include "broken_component.h"

class thread_after_delete : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        std::thread([] { std::this_thread::sleep_for(std::chrono::seconds(3)); }).detach();
    }
};

NELK_BROKEN_ENTRY(thread_after_delete)
