// Ten million random notifications to Corvane through the test kit: the give-back accounting
// balances, no heap block is left behind, and the resident memory stays flat.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "allocation_counter.h"
#include "nelk_test_kit.h"

namespace {

using namespace nelk_test_kit;

// The resident set in kilobytes (Linux); 0 where /proc is not there.
long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

TEST(SoakTest, TenMillionNotificationsKeepMemoryFlat) {
#if defined(_WIN32)
    GTEST_SKIP() << "resident memory is read from /proc";
#endif
    component_library library(NELK_CORVANE_LIBRARY);
    ASSERT_TRUE(library.loaded()) << library.error();
    recording_host host;
    component_pointer component(library.create(&host, ""));
    const long total = 10'000'000;
    const long warmUp = 1'000'000;
    std::mt19937 random(20261208);
    const char* commands[] = {"InfoDriverID=12", "Slot=7", "text=Camera 1", "return=all", "Slot=8", "_commands",
                              "_events", "InfoDriverID=13", "unknown=1"};
    slot_notification matching(12, 7, "a slot text of 19 b");
    slot_notification other(13, 9, "another slot's text");
    control_notification control("ActionAll", "alarm=1");
    long answers = 0;
    long baseBlocks = 0;
    long baseResident = 0;
    for (long i = 0; i < total; ++i) {
        switch (random() % 8) {
        case 0: case 1: case 2: component->callback(matching.record(), 1); break;
        case 3: component->callback(other.record(), 1); break;
        case 4: answers += sendCommand(*component, commands[random() % 9]) ? 1 : 0; break;
        case 5: sendTimer(*component, static_cast<int>(random() % 100)); break;
        case 6: component->callback(control.record(), 2); break;
        default: sendNumber(*component, static_cast<int>(random())); break;
        }
        // The kit keeps every line; forget them often, so that only the component's memory counts.
        if (i % 1'000 == 0) host.takeLines();
        if (i % 100'000 == 0) {
            ASSERT_TRUE(host.problems().empty()) << host.problems().front();
        }
        if (i == warmUp) {
            baseBlocks = allocation_counter::liveBlocks();
            baseResident = residentKilobytes();
        }
    }
    host.takeLines();
    const long endBlocks = allocation_counter::liveBlocks();
    const long endResident = residentKilobytes();
    std::printf("soak: %ld notifications, %ld kind-3 answers given back; live heap blocks %ld -> %ld; "
                "resident %ld KB -> %ld KB\n", total, answers, baseBlocks, endBlocks, baseResident, endResident);
    EXPECT_TRUE(host.finish().empty());
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(endBlocks, baseBlocks);          // nothing held on to
    EXPECT_LE(endResident - baseResident, 1024);  // flat: under 1 MB of growth
    component.reset();
}

}  // namespace
