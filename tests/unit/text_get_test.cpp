// textGet, debugTrace and controlList: lines, name checks, give-back, the mismatch trace.
#include <gtest/gtest.h>

#include "nelk_test_kit.h"
#include "debugger_output_capture.h"
#include "test_component.h"

namespace {

using namespace nelk_test_kit;

const char* trace(const char* returned, const char* requested, const char* answer, const char* control,
                  const char* panel, std::string& out) {
    out = std::string("textGet: value returned \"") + returned + "\" was not the value requested \"" + requested +
          "\" (value returned was \"" + answer + "\" from control \"" + control + "\", on panel \"" + panel + "\")";
    return out.c_str();
}

TEST(TextGetTest, AnswersAndTheirResults) {
    struct row { const char* property; std::optional<std::string> answer; const char* result; bool traced; };
    const row rows[] = {
        {"value", std::string("value=3"), "3", false},
        {"value", std::string("value="), "", false},
        {"value", std::string("value=a=b"), "a=b", false},
        {"value", std::string("Value=3"), "", true},
        {"value", std::string("other=3"), "", true},
        {"value", std::string("value"), "", false},    // no '=': the name alone matches, value empty
        {"value", std::string("valu"), "", true},
        {"value", std::string(""), "", true},
        {"value", std::nullopt, "", false},
        {"all", std::string("text=x,value=3"), "text=x,value=3", false},
        {"all", std::string("other=1"), "other=1", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.property) + " <- " + r.answer.value_or("(null)"));
        recording_host host;
        host.answerText("TG", r.answer);
        test_component component(&host, "");
        nelk_string result("stale");
        debugger_output_capture capture;
        component.textGet(r.property, "1", "alm_1", result);
        const std::string traced = capture.text();
        EXPECT_STREQ(result, r.result);
        EXPECT_EQ(!traced.empty(), r.traced) << traced;
        EXPECT_EQ(host.lines(), std::vector<std::string>{std::string("TG '1' 'alm_1' '") + r.property + "'"});
        EXPECT_EQ(host.textsHandedOut(), r.answer ? 1 : 0);
        EXPECT_TRUE(host.finish().empty());
    }
}

// The mismatch trace, exactly; markers inside the answer ("%3" among them) are shown as they are.
TEST(TextGetTest, MismatchTraceIsExact) {
    struct row { const char* answer; const char* control; const char* returned; };
    const row rows[] = {{"Value=7", "alm_2", "Value"}, {"%3=%1%5", "c", "%3"}};
    for (const row& r : rows) {
        recording_host host;
        host.answerText("TG", std::string(r.answer));
        test_component component(&host, "");
        nelk_string result;
        debugger_output_capture capture;
        component.textGet("value", "1", r.control, result);
        std::string expected;
        EXPECT_EQ(capture.text(), trace(r.returned, "value", r.answer, r.control, "1", expected)) << r.answer;
    }
}

TEST(TextGetTest, ResultMayBeOneOfTheArguments) {
    recording_host host;
    host.answerText("TG", "value=9");
    test_component component(&host, "");
    nelk_string property("value");
    component.textGet(property, "1", "c", property);
    EXPECT_STREQ(property, "9");
}

TEST(TextGetTest, QuotesInsideArgumentsAreSentUnchanged) {
    recording_host host;
    test_component component(&host, "");
    nelk_string result;
    component.textGet("va'lue", "1'", "c'", result);
    EXPECT_EQ(host.lines(), std::vector<std::string>{"TG '1'' 'c'' 'va'lue'"});
}

TEST(DebugTraceTest, FillsMarkersInOnePassAndAddsNothing) {
    struct row { const char* format; const char* expected; };
    const row rows[] = {
        {"plain text", "plain text"},
        {"%1-%2-%9", "a-b-c"},  // each text goes to the lowest marker left
        {"%2 %1", "b a"},
        {"%1 %1", "a a"},
        {"%3 only", "a only"},
        {"", ""},
    };
    test_component component(nullptr, "");
    for (const row& r : rows) {
        debugger_output_capture capture;
        component.debugTrace(r.format, "a", "b", "c", "d", "e", "f", "g", "h", "i");
        EXPECT_EQ(capture.text(), r.expected) << r.format;
    }
    debugger_output_capture capture;
    component.debugTrace("%1|%2", "%2", "x", "", "", "", "", "", "", "");
    EXPECT_EQ(capture.text(), "%2|x");
}

TEST(ControlListTest, AnswersAndTheirLists) {
    struct row { std::optional<std::string> answer; std::vector<std::string> names; };
    const row rows[] = {
        {std::nullopt, {}},
        {std::string(""), {}},
        {std::string("alm_1"), {"alm_1"}},
        {std::string("alm_2,alm_1,alm_2"), {"alm_2", "alm_1", "alm_2"}},
        {std::string("a,,b"), {"a", "", "b"}},
    };
    for (const row& r : rows) {
        recording_host host;
        host.answerText("XI", r.answer);
        test_component component(&host, "");
        const nelk_stringlist list = component.controlList("1", "alm_");
        std::vector<std::string> names;
        for (const nelk_string& name : list) names.emplace_back(name);
        EXPECT_EQ(names, r.names) << r.answer.value_or("(null)");
        EXPECT_EQ(host.lines(), std::vector<std::string>{"XI '1' 'alm_'"});
        EXPECT_EQ(host.textsHandedOut(), r.answer ? 1 : 0);
        EXPECT_TRUE(host.finish().empty());
    }
}

TEST(ControlListTest, MarkersInThePanelAreNotFilledAgain) {
    recording_host host;
    test_component component(&host, "");
    component.controlList("%2", "f");
    EXPECT_EQ(host.lines(), std::vector<std::string>{"XI '%2' 'f'"});
}

}  // namespace
