// Broken on purpose: starts a worker thread when the library is loaded (and stops it when the
// library is unloaded).
#include <atomic>
#include <chrono>
#include <thread>

#include "broken_component.h"

namespace {
struct worker {
    std::atomic<bool> stop{false};
    std::thread thread{[this] {
        while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }};
    ~worker() {
        stop = true;
        thread.join();
    }
} atLoad;
}  // namespace

NELK_BROKEN_ENTRY(quiet_component)
