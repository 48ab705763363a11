#include "delivery_queue.h"

namespace nelk_host_tool {

void delivery_queue::leave() {
    if (depth_ > 0) --depth_;
    if (depth_ == 0) drain();
}

const char* deliveryName(delivery_mode mode) noexcept {
    switch (mode) {
    case delivery_mode::queued: return "queued";
    case delivery_mode::immediate: return "immediate";
    case delivery_mode::none: return "none";
    }
    return "queued";
}

bool deliveryFromName(const std::string& name, delivery_mode& mode) noexcept {
    for (const delivery_mode each : {delivery_mode::queued, delivery_mode::immediate, delivery_mode::none}) {
        if (name == deliveryName(each)) {
            mode = each;
            return true;
        }
    }
    return false;
}

void delivery_queue::report(slot_event event, bool targetLive) {
    if (mode_ == delivery_mode::none) return;
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
