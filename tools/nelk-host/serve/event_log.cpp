#include "event_log.h"

namespace nelk_host_tool {

long long event_log::append(std::string json) {
    long long number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        number = next_++;
        bytes_ += json.size();
        events_.emplace_back(number, std::move(json));
        while (events_.size() > keep_ || (bytes_ > keepBytes_ && events_.size() > 1)) {
            bytes_ -= events_.front().second.size();
            events_.pop_front();
        }
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
    // A reader who missed dropped events hears how many, under the number of the last of them.
    const long long firstKept = events_.empty() ? next_ : events_.front().first;
    if (after < firstKept - 1) {
        const long long missed = firstKept - 1 - after;
        found.emplace_back(firstKept - 1, "{\"event\":\"note\",\"text\":\"" + std::to_string(missed) +
                                              " older events were dropped to keep the log within its size\"}");
    }
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
