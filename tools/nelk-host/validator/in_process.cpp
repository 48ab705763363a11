#include "in_process.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "guarded_memory.h"
#include "host_sized_thread.h"
#include "process/process_guard.h"
#include "process_state.h"
#include "process_watch.h"
#include "process/fork_watch.h"
#include "sanitizer_build.h"

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

// Ends the process with a TIMEOUT unless the check finishes first: when no call into a component
// has returned for `seconds`, or the whole check has taken `cap` seconds.
class watchdog {
public:
    watchdog(double seconds, double cap) : thread_([this, seconds, cap] { watch(seconds, cap); }) {}
    ~watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

private:
    void watch(double seconds, double cap) {
        using clock = std::chrono::steady_clock;
        const auto started = clock::now();
        auto lastProgress = started;
        std::uint64_t seen = progress();
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) return;
            const auto now = clock::now();
            if (progress() != seen) {
                seen = progress();
                lastProgress = now;
            }
            if (now - lastProgress >= std::chrono::duration<double>(seconds) || now - started >= std::chrono::duration<double>(cap))
                break;
        }
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
#if !defined(NELK_SANITIZED)
    // The documented status, 1, whatever ended the run (a sanitized build lets its own report end it).
    nelk_process_guard::endSignalsWithStatus(true);
#endif
    nelk_process_guard::describeFaultsWith(describeFault);
    nelk_process_guard::setWhere(each.id);
    nelk_process_guard::setEvent("");
    nelk_process_guard::setHostWork(false);
    nelk_host_tool::noteHostProcess();
    const int forkedBefore = nelk_host_tool::forkedReturns();
    std::fflush(nullptr);
    // What the check's components change of the process is put back after it, so that it does
    // not fall on the next check or library.
    const process_state before = process_state::take();
    check_settings here = settings;
    here.inProcess = true;
    check_outcome outcome{check_status::crashed, ""};
    nelk_host_tool::forgetCalls();  // the check's own calls, not the last one's
    {
        watchdog guard(timeoutSeconds, timeoutSeconds * 30);
        onHostSizedThread([&] {
            nelk_process_guard::arm(true);
            outcome = runHere(each, here);
        });
    }
    before.restore();
    // The guard stays armed: a thread a component left running is still watched between checks,
    // and what the validator itself does meanwhile is its own.
    nelk_process_guard::setEvent("between checks (a thread a component left running)");
    nelk_process_guard::setHostWork(true);
    nelk_process_guard::arm(true);
    if (nelk_host_tool::forkedReturns() > forkedBefore) {
        outcome = {check_status::fail, "a process the component forked came back into the host's code (a fork whose child "
                                       "returned from the call): a host would run twice"};
    }
    outcome.slowCalls = nelk_host_tool::slowestCalls();
    return outcome;
}

}  // namespace nelk_validator
