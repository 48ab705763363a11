// Runs the host's work on one thread, as a panel host makes every call into its components on
// one thread: server threads hand tasks over and wait for them; the thread that owns the queue
// runs them, and between tasks what it is told to do while idle. Thread-safe.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

namespace nelk_host_tool {

class host_thread {
public:
    // Hands `task` to the host's thread and waits until it has run there; its exceptions are
    // thrown here. Any thread but the host's own. After stop(), runs nothing and throws.
    void run(std::function<void()> task);

    // The host's thread: runs the tasks handed over until stop(), and `idle` between them when it
    // is due: as long after its last call as that call asked (its result; `first` at the start),
    // however many tasks come meanwhile.
    void serve(const std::function<std::chrono::milliseconds()>& idle, std::chrono::milliseconds first);
    // Ends serve(); any thread, also a signal's watcher.
    void stop();

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<void()>> tasks_;
    bool stopped_ = false;
};

}  // namespace nelk_host_tool
