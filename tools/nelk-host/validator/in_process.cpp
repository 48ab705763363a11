#include "in_process.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "guarded_memory.h"
#include "process/process_guard.h"

namespace nelk_validator {

namespace {

using nelk_process_guard::append;

const last_words* words = nullptr;
char reason[4096];

void say(const std::string& before, const char* text) {
    nelk_process_guard::writeAll(1, before.c_str());
    char escaped[8192] = "";
    if (words->json) {
        nelk_process_guard::appendJson(escaped, sizeof escaped, text);
        text = escaped;
    }
    nelk_process_guard::writeAll(1, text);
    nelk_process_guard::writeAll(1, words->after.c_str());
}

void ended(const nelk_process_guard::ending& end) {
    reason[0] = '\0';
    nelk_process_guard::appendEnding(reason, sizeof reason, end);
    say(words->crashed, reason);
}

// Ends the process with a TIMEOUT unless the check finishes first.
class watchdog {
public:
    explicit watchdog(double seconds) : thread_([this, seconds] { watch(seconds); }) {}
    ~watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

private:
    void watch(double seconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return done_; })) return;
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", seconds);
        reason[0] = '\0';
        append(reason, sizeof reason, "no result after ");
        append(reason, sizeof reason, limit);
        append(reason, sizeof reason, " s");
        const char* event = nelk_process_guard::currentEvent();
        if (event[0] != '\0') {
            append(reason, sizeof reason, "; the last event delivered was ");
            append(reason, sizeof reason, event);
        }
        nelk_process_guard::arm(false);
        say(words->timedOut, reason);
        std::fflush(nullptr);
        std::_Exit(1);
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

check_outcome runInProcess(const check& each, const check_settings& settings, double timeoutSeconds,
                           const last_words& ifEnded) {
    words = &ifEnded;
    nelk_process_guard::install(ended, 1);
    nelk_process_guard::describeFaultsWith(describeFault);
    nelk_process_guard::setWhere(each.id);
    nelk_process_guard::setEvent("");
    std::fflush(nullptr);
    check_outcome outcome{check_status::crashed, ""};
    {
        watchdog guard(timeoutSeconds);
        nelk_process_guard::arm(true);
        outcome = runHere(each, settings);
        nelk_process_guard::arm(false);
    }
    return outcome;
}

}  // namespace nelk_validator
