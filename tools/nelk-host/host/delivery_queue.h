// When the host's own events (slot values after "IW", "IR" and host-side changes) reach the
// components: queued until the outermost call into any component has returned, or at once
// from inside hostSend (nested calls), or not at all. Host's thread only.
#pragma once

#include <deque>
#include <functional>
#include <string>

namespace nelk_host_tool {

enum class delivery_mode {
    queued,     // after the current call into the component returns, in order
    immediate,  // at once, from inside hostSend: nested calls
    none,       // never: a replay (a trace) delivers the real host's events as statements
};

// The mode's word in the scenario language ("queued", "immediate", "none"), and back; false for
// another word.
const char* deliveryName(delivery_mode mode) noexcept;
bool deliveryFromName(const std::string& name, delivery_mode& mode) noexcept;

// A slot value for one instance, named so that an instance deleted meanwhile is skipped.
struct slot_event {
    std::string target;
    int driver;
    int slot;
    std::string text;
};

class delivery_queue {
public:
    // deliver: hands one event to its instance (skipping one that is no longer live); called
    // from report() or drain(), never re-entered for the queue itself.
    delivery_queue(delivery_mode mode, std::function<void(const slot_event&)> deliver)
        : mode_(mode), deliver_(std::move(deliver)) {}

    // A call into a component (or a host step that must finish first) begins or ends; at the
    // end of the outermost one the queued events are delivered.
    void enter() noexcept { ++depth_; }
    void leave();

    // An event for one instance: at once when immediate and inside a call to a live instance
    // (`targetLive`), otherwise queued and delivered when no call is in progress.
    void report(slot_event event, bool targetLive);

    void setMode(delivery_mode mode) noexcept { mode_ = mode; }
    delivery_mode mode() const noexcept { return mode_; }

private:
    void drain();

    delivery_mode mode_;
    std::function<void(const slot_event&)> deliver_;
    std::deque<slot_event> queue_;
    int depth_ = 0;
    bool draining_ = false;
};

}  // namespace nelk_host_tool
