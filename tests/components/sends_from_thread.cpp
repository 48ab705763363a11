// Broken on purpose: stops a timer from a worker thread (which it waits for).
#include <string>
#include <thread>

#include "broken_component.h"

class sends_from_thread : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int id) override {
        std::thread worker([this, id] { timerStop(id); });
        worker.join();
    }
};

NELK_BROKEN_ENTRY(sends_from_thread)
