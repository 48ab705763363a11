#include "component_time.h"

#include <chrono>
#include <vector>

namespace nelk_host_tool {

namespace {

using clock_type = std::chrono::steady_clock;

// The calls under way on this thread, innermost last (true: a component's), and the time
// counted so far; the clock runs while the innermost call is a component's.
struct thread_calls {
    std::vector<bool> frames;
    clock_type::duration spent{};
    clock_type::time_point since{};

    bool running() const { return !frames.empty() && frames.back(); }
    void pause() {
        if (running()) spent += clock_type::now() - since;
    }
    void resume() {
        if (running()) since = clock_type::now();
    }
    std::atomic<bool>* published = nullptr;

    void push(bool component) {
        pause();
        frames.push_back(component);
        resume();
        if (published != nullptr) published->store(running());
    }
    void pop() {
        if (frames.empty()) return;
        pause();
        frames.pop_back();
        resume();
        if (published != nullptr) published->store(running());
    }
};

thread_local thread_calls calls;
thread_local double statementStart = 0;
thread_local volatile std::uint64_t* hostCallCounter = nullptr;
thread_local double hostCallLimit = 0;

}  // namespace

void componentCallBegins() { calls.push(true); }
void componentCallEnds() { calls.pop(); }

void hostCallBegins() {
    if (calls.running()) calls.push(false);  // hostSend from a thread the host never called in on counts nothing
}

void hostCallEnds() {
    if (calls.frames.empty() || calls.frames.back()) return;
    calls.pop();
    if (hostCallCounter != nullptr && componentSeconds() - statementStart <= hostCallLimit)
        *hostCallCounter = *hostCallCounter + 1;
}

void countHostCallsWithin(volatile std::uint64_t* counter, double limitSeconds) {
    hostCallCounter = counter;
    hostCallLimit = limitSeconds;
}

void componentStatementBegins() { statementStart = componentSeconds(); }

void publishComponentRunning(std::atomic<bool>* flag) {
    calls.published = flag;
    if (flag != nullptr) flag->store(calls.running());
}

double componentSeconds() {
    clock_type::duration total = calls.spent;
    if (calls.running()) total += clock_type::now() - calls.since;
    return std::chrono::duration<double>(total).count();
}

}  // namespace nelk_host_tool
