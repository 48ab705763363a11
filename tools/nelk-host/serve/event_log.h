// The transcript's events as the served page reads them: numbered, the newest kept within a
// number and a size in bytes (the oldest dropped, with a note where they were), and handed to
// readers that wait for the next ones (the page's live stream). Thread-safe: the host's thread
// appends, any server thread reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace nelk_host_tool {

class event_log {
public:
    // keep: how many of the newest events are kept for readers that come late; keepBytes: how
    // many bytes of them at most.
    explicit event_log(std::size_t keep = 10000, std::size_t keepBytes = 4u << 20) : keep_(keep), keepBytes_(keepBytes) {}

    // Adds an event (its JSON text) and wakes the readers; returns its number (1, 2, ...).
    long long append(std::string json);
    // The number of the newest event, 0 before the first.
    long long last() const;
    // The kept events numbered above `after`, oldest first; waits up to `wait` for one when
    // there is none yet. Returns at once, with nothing, once the log is closed.
    std::vector<std::pair<long long, std::string>> after(long long after, std::chrono::milliseconds wait);
    // Wakes every reader for good: the server is stopping.
    void close();
    bool closed() const;

private:
    const std::size_t keep_;
    const std::size_t keepBytes_;
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::deque<std::pair<long long, std::string>> events_;
    std::size_t bytes_ = 0;  // of the kept events
    long long next_ = 1;
    bool closed_ = false;
};

}  // namespace nelk_host_tool
