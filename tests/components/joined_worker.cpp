// Correct: a worker thread of its own, stopped and joined in the destructor.
#include <atomic>
#include <chrono>
#include <thread>

#include "broken_component.h"

class joined_worker : public quiet_component {
public:
    joined_worker(nelk_host* host, const char* text)
        : quiet_component(host, text), worker_([this] {
              while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }) {}
    ~joined_worker() override {
        stop_ = true;
        worker_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

NELK_BROKEN_ENTRY(joined_worker)
