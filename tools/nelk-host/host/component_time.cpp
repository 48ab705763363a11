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
    void push(bool component) {
        pause();
        frames.push_back(component);
        resume();
    }
    void pop() {
        if (frames.empty()) return;
        pause();
        frames.pop_back();
        resume();
    }
};

thread_local thread_calls calls;

}  // namespace

void componentCallBegins() { calls.push(true); }
void componentCallEnds() { calls.pop(); }

void hostCallBegins() {
    if (calls.running()) calls.push(false);  // hostSend from a thread the host never called in on counts nothing
}

void hostCallEnds() {
    if (!calls.frames.empty() && !calls.frames.back()) calls.pop();
}

double componentSeconds() {
    clock_type::duration total = calls.spent;
    if (calls.running()) total += clock_type::now() - calls.since;
    return std::chrono::duration<double>(total).count();
}

}  // namespace nelk_host_tool
