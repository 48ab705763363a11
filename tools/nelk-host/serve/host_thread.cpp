#include "host_thread.h"

#include <stdexcept>

namespace nelk_host_tool {

void host_thread::run(std::function<void()> task) {
    std::packaged_task<void()> packaged(std::move(task));
    std::future<void> done = packaged.get_future();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) throw std::runtime_error("the host is stopping");
        tasks_.push_back(std::move(packaged));
    }
    wake_.notify_one();
    done.get();
}

void host_thread::serve(const std::function<std::chrono::milliseconds()>& idle, std::chrono::milliseconds first) {
    // The idle work is due at a time, whether tasks come or not: requests that keep coming (a
    // page that polls) must not stop the host's clock.
    auto idleAt = std::chrono::steady_clock::now() + first;
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_until(lock, idleAt, [this] { return stopped_ || !tasks_.empty(); });
            if (stopped_) {
                tasks_.clear();  // whoever still waits learns, by a broken promise, that its task will not run
                return;
            }
            if (!tasks_.empty()) {
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
        }
        if (task.valid()) task();
        if (std::chrono::steady_clock::now() >= idleAt) idleAt = std::chrono::steady_clock::now() + idle();
    }
}

void host_thread::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

}  // namespace nelk_host_tool
