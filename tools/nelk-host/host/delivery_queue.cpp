#include "delivery_queue.h"

namespace nelk_host_tool {

void delivery_queue::leave() {
    if (depth_ > 0) --depth_;
    if (depth_ == 0) drain();
}

void delivery_queue::report(slot_event event, bool targetLive) {
    if (mode_ == delivery_mode::immediate && targetLive && depth_ > 0) {
        deliver_(event);
        return;
    }
    queue_.push_back(std::move(event));
    if (depth_ == 0) drain();
}

void delivery_queue::drain() {
    if (draining_) return;
    draining_ = true;
    while (!queue_.empty()) {
        const slot_event event = std::move(queue_.front());
        queue_.pop_front();
        deliver_(event);
    }
    draining_ = false;
}

}  // namespace nelk_host_tool
