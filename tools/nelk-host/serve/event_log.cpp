#include "event_log.h"

namespace nelk_host_tool {

long long event_log::append(std::string json) {
    long long number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        number = next_++;
        events_.emplace_back(number, std::move(json));
        while (events_.size() > keep_) events_.pop_front();
    }
    added_.notify_all();
    return number;
}

long long event_log::last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_ - 1;
}

std::vector<std::pair<long long, std::string>> event_log::after(long long after, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    added_.wait_for(lock, wait, [&] { return closed_ || next_ - 1 > after; });
    std::vector<std::pair<long long, std::string>> found;
    if (closed_) return found;
    for (const auto& event : events_) {
        if (event.first > after) found.push_back(event);
    }
    return found;
}

void event_log::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    added_.notify_all();
}

bool event_log::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

}  // namespace nelk_host_tool
