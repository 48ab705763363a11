// The info drivers' rules that the headless host and the validator's host share: which slots exist,
// how a registration is clamped, replaced and added to, and what a slot store hands back.
#include <gtest/gtest.h>

#include "host/info_drivers.h"

namespace {

using nelk_host_tool::slot_registrations;
using nelk_host_tool::slot_store;

TEST(InfoDriversTest, RegistrationsAreClampedToTheSlotsThatExist) {
    struct row {
        int driver, first, last;
        bool exists;
        std::optional<std::pair<int, int>> registered;
    };
    const row rows[] = {
        {12, 7, 7, true, std::make_pair(7, 7)},       {12, 0, 0, true, std::nullopt},
        {12, -5, 3, true, std::make_pair(1, 3)},      {12, 4000, 9000, true, std::make_pair(4000, 4096)},
        {12, 5, 2, true, std::nullopt},               {0, 1, 1, false, std::nullopt},
        {1000, 1, 1, false, std::nullopt},            {999, 4096, 4096, true, std::make_pair(4096, 4096)},
    };
    for (const row& each : rows) {
        slot_registrations registrations;
        bool exists = false;
        EXPECT_EQ(registrations.registerRange(each.driver, each.first, each.last, false, exists), each.registered)
            << each.driver << " " << each.first << " " << each.last;
        EXPECT_EQ(exists, each.exists);
    }
}

TEST(InfoDriversTest, AnIrReplacesUnlessItAddsAndAnIuEndsTheDriver) {
    slot_registrations registrations;
    bool exists = false;
    registrations.registerRange(12, 1, 3, false, exists);
    registrations.registerRange(12, 10, 10, true, exists);
    registrations.registerRange(12, 10, 10, true, exists);  // the same range again counts once
    registrations.registerRange(5, 2, 2, false, exists);
    EXPECT_EQ(registrations.count(), 3u);
    EXPECT_TRUE(registrations.covers(12, 2));
    EXPECT_TRUE(registrations.covers(12, 10));
    EXPECT_FALSE(registrations.covers(12, 5));
    registrations.registerRange(12, 20, 20, false, exists);  // replaces driver 12's ranges only
    EXPECT_FALSE(registrations.covers(12, 2));
    EXPECT_TRUE(registrations.covers(5, 2));
    EXPECT_TRUE(registrations.unregister(12));
    EXPECT_FALSE(registrations.unregister(12));
    EXPECT_EQ(registrations.first(), std::make_tuple(5, 2, 2));
}

TEST(InfoDriversTest, TheStoreHandsBackARangeInOrder) {
    slot_store slots;
    slots.store(12, 9, "c");
    slots.store(12, 2, "a");
    slots.store(12, 5, "b");
    slots.store(13, 3, "other driver");
    EXPECT_EQ(slots.range(12, 1, 6), (std::vector<std::pair<int, std::string>>{{2, "a"}, {5, "b"}}));
    ASSERT_NE(slots.text(12, 9), nullptr);
    EXPECT_EQ(*slots.text(12, 9), "c");
    EXPECT_EQ(slots.text(12, 3), nullptr);
    EXPECT_EQ(slots.all().size(), 4u);
    EXPECT_TRUE(nelk_host_tool::slotExists(1, 1));
    EXPECT_FALSE(nelk_host_tool::slotExists(1, 4097));
    EXPECT_EQ(nelk_host_tool::noSuchSlot(0, 7), "no slot 0/7 (drivers 1-999, slots 1-4096)");
}

}  // namespace
