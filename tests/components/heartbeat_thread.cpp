// Broken on purpose: a heartbeat thread, started with the component, writes a slot every few
// milliseconds whether or not the host is calling it.
#include <atomic>
#include <chrono>
#include <thread>

#include "broken_component.h"

class heartbeat_thread : public quiet_component {
public:
    heartbeat_thread(nelk_host* host, const char* text) : quiet_component(host, text) {}
    ~heartbeat_thread() override {
        stop_ = true;
        beat_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread beat_{[this] {
        while (!stop_) {
            infoWrite(5, "alive", 1, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }};
};

NELK_BROKEN_ENTRY(heartbeat_thread)
