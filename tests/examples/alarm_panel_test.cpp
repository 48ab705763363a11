// The example AlarmPanel through dlopen, as a host drives it: its own commands, and the alarm
// facility of the framework answering its group buttons.
#include <gtest/gtest.h>

#include "nelk_test_kit.h"

namespace {

using lines = std::vector<std::string>;
using namespace nelk_test_kit;

class AlarmPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << library.error();
        component.reset(library.create(&host, ""));
        ASSERT_NE(component, nullptr);
    }
    void TearDown() override {
        component.reset();
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    component_library library{NELK_ALARM_PANEL_EXAMPLE};
    recording_host host;
    component_pointer component;
};

TEST_F(AlarmPanelTest, ShowsItsPanelAndTakesItsCommands) {
    EXPECT_EQ(host.takeLines(), lines{"PS '1' 'alarm_panel.nelk_ui'"});
    struct row { const char* command; lines sent; std::optional<std::string> answer; };
    const row rows[] = {
        {"Raise=alm_2", {"TP 'alarm=1' '1' 'alm_2'", "TP 'value=1' '1' 'alm_2'"}, std::nullopt},
        {"Clear=alm_2", {"TP 'alarm=0' '1' 'alm_2'", "TP 'value=0' '1' 'alm_2'"}, std::nullopt},
        {"Raise=title", {}, std::nullopt},  // not an alarm control
        {"Raise=alm_", {}, std::nullopt},
        {"Title=Studio B", {"TP 'text=Studio B' '1' 'title'"}, std::nullopt},
        {"return=all", {}, std::string("Title=Studio B")},
        {"_commands", {}, std::string("Title=[value]\nRaise=[control]\nClear=[control]")},
        {"unknown=1", {}, std::nullopt},
    };
    for (const row& r : rows) {
        EXPECT_EQ(sendCommand(*component, r.command), r.answer) << r.command;
        EXPECT_EQ(host.takeLines(), r.sent) << r.command;
    }
}

TEST_F(AlarmPanelTest, GroupButtonsBroadcastToEveryAlarmControl) {
    host.takeLines();
    host.answerText("XI", "alm_1,alm_2");
    host.answerText("TG '1' 'alm_1' 'value'", "value=1");
    host.answerText("TG '1' 'alm_2' 'value'", "value=0");
    sendControl(*component, "ActionAll", "alarm=1");
    EXPECT_EQ(host.takeLines(), (lines{"XI '1' 'alm_'", "TP 'alarm=1' '1' 'alm_1'", "TP 'value=1' '1' 'alm_1'",
                                       "TP 'alarm=1' '1' 'alm_2'", "TP 'value=1' '1' 'alm_2'"}));
    sendControl(*component, "AckAll", "ack");
    EXPECT_EQ(host.takeLines(), (lines{"XI '1' 'alm_'", "TP 'alarm=4' '1' 'alm_1'", "TG '1' 'alm_1' 'value'",
                                       "TP 'value=4' '1' 'alm_1'", "TP 'alarm=4' '1' 'alm_2'", "TG '1' 'alm_2' 'value'"}));
    sendControl(*component, "Reset", "press");
    EXPECT_EQ(host.takeLines(), (lines{"XI '1' 'alm_'", "TP 'alarm=0' '1' 'alm_1'", "TP 'value=0' '1' 'alm_1'",
                                       "TP 'alarm=0' '1' 'alm_2'", "TP 'value=0' '1' 'alm_2'"}));
    sendControl(*component, "alm_1", "press");  // any other control does nothing
    EXPECT_TRUE(host.takeLines().empty());
}

}  // namespace
