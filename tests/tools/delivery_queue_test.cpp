// When the host's own slot events reach the components (host/delivery_queue.cpp): queued until the
// outermost call returns, at once from inside a call when immediate, never when none; in order,
// and never re-entered while it drains.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/delivery_queue.h"

namespace {

using nelk_host_tool::delivery_mode;
using nelk_host_tool::delivery_queue;
using nelk_host_tool::slot_event;

slot_event event(const char* text) { return slot_event{"A", 12, 7, text}; }

TEST(DeliveryQueueTest, EachModeDeliversWhenItSays) {
    struct row {
        delivery_mode mode;
        bool targetLive;
        std::vector<std::string> insideTheCall;  // delivered before the outermost call returns
        std::vector<std::string> afterIt;        // delivered by the time it has
    };
    const row rows[] = {
        {delivery_mode::queued, true, {}, {"a", "b"}},
        {delivery_mode::immediate, true, {"a", "b"}, {"a", "b"}},
        {delivery_mode::immediate, false, {}, {"a", "b"}},  // a target that is not live waits
        {delivery_mode::none, true, {}, {}},
    };
    for (const row& each : rows) {
        std::vector<std::string> delivered;
        delivery_queue queue(each.mode, [&](const slot_event& got) { delivered.push_back(got.text); });
        queue.enter();
        queue.enter();  // nested: only the outermost leave delivers
        queue.report(event("a"), each.targetLive);
        queue.leave();
        queue.report(event("b"), each.targetLive);
        EXPECT_EQ(delivered, each.insideTheCall) << nelk_host_tool::deliveryName(each.mode);
        queue.leave();
        EXPECT_EQ(delivered, each.afterIt) << nelk_host_tool::deliveryName(each.mode);
    }
}

TEST(DeliveryQueueTest, OutsideACallAnEventGoesAtOnceAndADeliveryThatReportsIsQueuedBehind) {
    std::vector<std::string> delivered;
    delivery_queue* self = nullptr;
    delivery_queue queue(delivery_mode::queued, [&](const slot_event& got) {
        delivered.push_back(got.text);
        // A delivery that makes the component write the slot again: its event waits its turn.
        if (got.text == "first") self->report(event("echo"), true);
    });
    self = &queue;
    queue.report(event("first"), true);
    EXPECT_EQ(delivered, (std::vector<std::string>{"first", "echo"}));
}

TEST(DeliveryQueueTest, ModeNamesReadBack) {
    for (const delivery_mode mode : {delivery_mode::queued, delivery_mode::immediate, delivery_mode::none}) {
        delivery_mode read = delivery_mode::queued;
        ASSERT_TRUE(nelk_host_tool::deliveryFromName(nelk_host_tool::deliveryName(mode), read));
        EXPECT_EQ(read, mode);
    }
    delivery_mode untouched = delivery_mode::none;
    EXPECT_FALSE(nelk_host_tool::deliveryFromName("later", untouched));
    EXPECT_EQ(untouched, delivery_mode::none);
}

}  // namespace
