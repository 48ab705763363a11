// @Name@ loaded as a host loads it and driven with the test kit's recording host, which checks
// every line it sends and that every answer it was handed is given back.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nelk_test_kit.h"

namespace {

using lines = std::vector<std::string>;
using namespace nelk_test_kit;

class @Name@Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << library.error();
        component.reset(library.create(&host, "/panels"));
        ASSERT_NE(component, nullptr);
        EXPECT_EQ(host.takeLines(), (lines{"PS '1' '/panels/@name@.nelk_ui'", "IR 1 1 1"}));
    }
    void TearDown() override {
        component.reset();
        EXPECT_EQ(host.takeLines(), (lines{"IU 1", "AS"}));
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    component_library library{@NAME@_LIBRARY};
    recording_host host;
    component_pointer component;
};

TEST_F(@Name@Test, KeepsItsLabelAndAnswersTheQuery) {
    struct row {
        const char* command;
        lines sent;
        std::optional<std::string> answer;
    };
    const row rows[] = {
        {"return=all", {}, std::string("Label=@Name@")},
        {"Label=Studio A", {"TP 'text=Studio A' '1' 'label'"}, std::nullopt},
        {"return=all", {}, std::string("Label=Studio A")},
        {"return=other", {}, std::nullopt},
        {"_commands", {}, std::string("Label=[text]")},
        {"unknown=1", {}, std::nullopt},
    };
    for (const row& each : rows) {
        EXPECT_EQ(sendCommand(*component, each.command), each.answer) << each.command;
        EXPECT_EQ(host.takeLines(), each.sent) << each.command;
    }
}

TEST_F(@Name@Test, CountsPressesShowsItsSlotAndStopsTimers) {
    sendControl(*component, "Count", "press");
    sendControl(*component, "Count", "press");
    sendControl(*component, "label", "press");  // another control: nothing
    sendSlot(*component, 1, 1, "Camera 2");
    sendSlot(*component, 1, 2, "not watched");
    sendTimer(*component, 7);
    EXPECT_EQ(host.takeLines(), (lines{"TP 'text=1' '1' 'count'", "TP 'text=2' '1' 'count'",
                                       "TP 'text=Camera 2' '1' 'source'", "ET 7"}));
}

}  // namespace
