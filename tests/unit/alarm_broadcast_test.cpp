// The alarm broadcast and its interception: the exact commands per control for every outcome.
#include <gtest/gtest.h>

#include "nelk_test_kit.h"
#include "test_component.h"

namespace {

using namespace nelk_test_kit;
using lines = std::vector<std::string>;

class AlarmTest : public ::testing::Test {
protected:
    AlarmTest() {
        component.alarmHandling = true;
        host.answerText("XI", "alm_1");
    }
    void TearDown() override {
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    recording_host host;
    test_component component{&host, ""};
};

TEST_F(AlarmTest, StatesAndTheirCommands) {
    struct row { const char* state; const char* reading; lines expected; };
    const row rows[] = {
        {"ack", "value=1", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'", "TP 'value=4' '1' 'alm_1'"}},
        {"ack", "value=7", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'", "TP 'value=4' '1' 'alm_1'"}},
        {"ack", "value=-2", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'", "TP 'value=4' '1' 'alm_1'"}},
        {"ack", "value=0", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'"}},
        {"ack", "value=2", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'"}},
        {"ack", "value=5", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'"}},
        {"ack", "value=", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'"}},  // empty reads 0
        {"ack", "Value=1", {"TP 'alarm=ack' '1' 'alm_1'", "TG '1' 'alm_1' 'value'"}},  // mismatch reads empty
        {"4", "value=6", {"TP 'alarm=4' '1' 'alm_1'", "TG '1' 'alm_1' 'value'", "TP 'value=4' '1' 'alm_1'"}},
        {"3", "value=1", {"TP 'alarm=3' '1' 'alm_1'", "TP 'value=3' '1' 'alm_1'"}},
        {"0", "value=1", {"TP 'alarm=0' '1' 'alm_1'", "TP 'value=0' '1' 'alm_1'"}},
        {"x", "value=1", {"TP 'alarm=x' '1' 'alm_1'", "TP 'value=0' '1' 'alm_1'"}},
        {"10", "value=1", {"TP 'alarm=10' '1' 'alm_1'"}},
        {"ACK", "value=1", {"TP 'alarm=ACK' '1' 'alm_1'"}},
        {"", "value=1", {"TP 'alarm=' '1' 'alm_1'"}},
    };
    for (const row& r : rows) {
        host.answerText("TG", std::string(r.reading));
        host.takeLines();
        component.alarmBroadcast(r.state);
        lines expected{"XI '1' 'alm_'"};
        expected.insert(expected.end(), r.expected.begin(), r.expected.end());
        EXPECT_EQ(host.lines(), expected) << r.state << " / " << r.reading;
    }
}

TEST_F(AlarmTest, EachControlIsFinishedBeforeTheNext) {
    host.answerText("XI", "alm_1,alm_2");
    host.answerText("TG '1' 'alm_1' 'value'", "value=1");
    host.answerText("TG '1' 'alm_2' 'value'", "value=3");
    sendControl(component, "AckAll", "anything=9");
    EXPECT_EQ(host.lines(), (lines{"XI '1' 'alm_'", "TP 'alarm=4' '1' 'alm_1'", "TG '1' 'alm_1' 'value'",
                                   "TP 'value=4' '1' 'alm_1'", "TP 'alarm=4' '1' 'alm_2'",
                                   "TG '1' 'alm_2' 'value'"}));
    EXPECT_TRUE(component.calls.empty());
}

TEST_F(AlarmTest, InterceptionOfGroupControls) {
    host.answerText("TG", "value=1");
    struct row { const char* control; std::optional<std::string> command; lines sent; bool hookCalled; };
    const row rows[] = {
        {"ActionAll", std::string("alarm=2"), {"XI '1' 'alm_'", "TP 'alarm=2' '1' 'alm_1'", "TP 'value=2' '1' 'alm_1'"}, false},
        {"ActionAll", std::string("alarm"), {"XI '1' 'alm_'", "TP 'alarm=' '1' 'alm_1'"}, false},
        {"ActionAll", std::string("other=2"), {}, true},
        {"ActionAll", std::nullopt, {}, true},
        {"AckAll", std::nullopt, {"XI '1' 'alm_'", "TP 'alarm=4' '1' 'alm_1'", "TG '1' 'alm_1' 'value'",
                                  "TP 'value=4' '1' 'alm_1'"}, false},
        {"alm_1", std::string("alarm=2"), {}, true},
        {"actionall", std::string("alarm=2"), {}, true},
    };
    for (const row& r : rows) {
        host.takeLines();
        component.calls.clear();
        sendControl(component, std::string(r.control), r.command);
        EXPECT_EQ(host.lines(), r.sent) << r.control;
        EXPECT_EQ(component.calls.size(), r.hookCalled ? 1u : 0u) << r.control;
    }
}

TEST_F(AlarmTest, WithoutAlarmControlsOnlyTheQueryIsSent) {
    for (std::optional<std::string> answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
        host.answerText("XI", answer);
        host.takeLines();
        component.alarmBroadcast("ack");
        EXPECT_EQ(host.lines(), lines{"XI '1' 'alm_'"});
    }
}

}  // namespace
