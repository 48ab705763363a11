// The timing of calls into components: the budget as typed, what a call counts as the
// component's time, the slowest calls kept, and the trace's file.
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/call_timing.h"
#include "host/component_time.h"
#include "reports/call_trace.h"

namespace {

using namespace nelk_host_tool;

TEST(CallBudgetTest, ReadAsTypedOrRefused) {
    struct row {
        const char* text;
        double seconds;  // < 0: refused
    };
    const row rows[] = {{"50", 0.05},     {"2.5ms", 0.0025}, {"1s", 1},    {"off", 0},   {"0", 0},
                        {"", -1},         {"-5", -1},        {"nan", -1},  {"inf", -1},  {"5min", -1},
                        {"1e300", -1},    {"ms", -1},        {"5 ms", -1}, {"7200s", -1}, {"0ms", -1}};
    for (const row& each : rows) {
        double seconds = -2;
        std::string problem;
        const bool read = readCallBudget("--call-budget", each.text, seconds, problem);
        if (each.seconds < 0) {
            EXPECT_FALSE(read) << each.text;
            EXPECT_NE(problem.find("--call-budget"), std::string::npos) << each.text;
        } else {
            ASSERT_TRUE(read) << each.text << ": " << problem;
            EXPECT_DOUBLE_EQ(seconds, each.seconds) << each.text;
        }
    }
}

// A call whose component code sleeps `milliseconds`, with `hostMilliseconds` of the host's own
// time (a hostSend) inside it.
void call(const std::string& event, int milliseconds, int hostMilliseconds = 0) {
    const call_clock timing(event);
    const component_time_scope component(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    const component_time_scope host(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(hostMilliseconds));
}

class CallTimingTest : public testing::Test {
protected:
    void SetUp() override {
        if (underValgrind()) GTEST_SKIP() << "the budget judges nothing under valgrind";
        forgetCalls();
        setCallBudget(0.004);
        while (takeCallOverBudget()) {
        }
    }
    void TearDown() override {
        setCallBudget(0.05);
        forgetCalls();
    }
};

TEST_F(CallTimingTest, OnlyTheComponentsOwnTimeCountsAgainstTheBudget) {
    call("host's time", 0, 30);
    EXPECT_FALSE(takeCallOverBudget()) << "a hostSend inside the call is the host's time";
    call("component's time", 8);
    const std::optional<double> over = takeCallOverBudget();
    ASSERT_TRUE(over);
    EXPECT_GE(*over, 0.008);
    EXPECT_FALSE(takeCallOverBudget()) << "told once";
    EXPECT_EQ(callsOverBudget(), 1);
}

TEST_F(CallTimingTest, ANestedCallIsJudgedWithTheOneAroundIt) {
    {
        const std::string event = "outer";
        const call_clock outer(event);
        call("inner", 8);
        EXPECT_FALSE(takeCallOverBudget()) << "judged when the outermost call ends";
    }
    EXPECT_TRUE(takeCallOverBudget());
    const std::vector<timed_call> kept = slowestCalls();
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(kept[0].call, "outer");
}

TEST_F(CallTimingTest, TheSlowestAreKeptOnceEachSlowestFirstAndNamed) {
    callsBelongTo("file.nelk:3: notify A 5 1 x");
    for (int round = 0; round < 2; ++round) {
        for (int each = 0; each < 7; ++each) call("call " + std::to_string(each), each == 6 ? 12 : 1);
    }
    callsBelongTo("");
    const std::vector<timed_call> kept = slowestCalls();
    ASSERT_EQ(kept.size(), keptCalls);
    EXPECT_EQ(kept[0].call, "call 6");
    EXPECT_EQ(kept[0].statement, "file.nelk:3: notify A 5 1 x");
    for (std::size_t i = 1; i < kept.size(); ++i) {
        EXPECT_GE(kept[i - 1].seconds, kept[i].seconds);
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(kept[i].call, kept[j].call) << "a call is kept once";
    }
    call("named later", 20);
    ASSERT_TRUE(lastCallNeedsName());
    nameLastCall("load C default \"\"\n" + std::string(5000, 'x'));
    const timed_call slowest = slowestCalls().front();
    EXPECT_EQ(slowest.call, "named later");
    EXPECT_LT(slowest.statement.size(), 700U) << "a huge statement is cut";
    EXPECT_NE(slowest.statement.find("cut, 5018 bytes"), std::string::npos);
    const std::vector<timed_call> back = timedCallsFrom(timedCallsJson(slowestCalls()));
    ASSERT_EQ(back.size(), keptCalls);
    EXPECT_EQ(back[0].statement, slowest.statement);
    EXPECT_NEAR(back[0].seconds, slowest.seconds, 1e-6);
}

TEST(CallTraceTest, PartLinesBecomeOneTraceSortedWithMetadataFirst) {
    const std::string part =
        "{\"name\":\"b\",\"ph\":\"X\",\"ts\":200,\"dur\":5,\"pid\":2,\"tid\":2}\n"
        "{\"name\":\"process_name\",\"ph\":\"M\",\"pid\":2,\"args\":{\"name\":\"file.nelk\"}}\n"
        "{\"name\":\"a\",\"ph\":\"X\",\"ts\":100,\"dur\":5,\"pid\":2,\"tid\":2}\n"
        "{\"name\":\"cut short by a crash\",\"ph\":\"X\",\"ts\":1\n"
        "not json {}\n";
    const nlohmann::json trace = nlohmann::json::parse(chromeTrace(part));
    const nlohmann::json& events = trace.at("traceEvents");
    ASSERT_EQ(events.size(), 3U);
    EXPECT_EQ(events[0]["ph"], "M");
    EXPECT_EQ(events[1]["name"], "a");
    EXPECT_EQ(events[2]["name"], "b");
    EXPECT_EQ(nlohmann::json::parse(chromeTrace("")).at("traceEvents").size(), 0U);
}

}  // namespace
