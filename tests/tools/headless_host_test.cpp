// The headless host (host/headless_host.cpp) on a test alarm component: the broadcast against its
// panel, answers to text queries, scripted answers, ownership breaches, registrations and slot reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "test_files.h"
#include "host/headless_host.h"

namespace {

using namespace nelk_host_tool;

// A host session on the test alarm component, which answers with "TG" and "XI" on demand.
class HeadlessHostTest : public ::testing::Test {
protected:
    HeadlessHostTest() : output(sink(), transcript_style::quiet, false), host(output, delivery_mode::queued) {}
    ~HeadlessHostTest() override {
        if (sink_ != nullptr) std::fclose(sink_);
    }
    std::FILE* sink() {
        sink_ = std::tmpfile();
        return sink_;
    }
    struct answer_row {
        const char* line;
        const char* answer;  // null: the host answers null
    };
    // Sends each line from inside a call on P and checks the host's answer, giving it back.
    void expectAnswers(std::initializer_list<answer_row> rows) {
        for (const answer_row& r : rows) {
            instance& panel = *host.find("P");
            panel.rules.callBegins();
            const char* answer = static_cast<const char*>(host.receive(panel, r.line, nelk_send::commandLine));
            if (r.answer == nullptr) {
                EXPECT_EQ(answer, nullptr) << r.line;
            } else if (answer == nullptr) {
                ADD_FAILURE() << r.line << ": no answer";
            } else {
                EXPECT_STREQ(answer, r.answer) << r.line;
                host.receive(panel, answer, nelk_send::giveBack);
            }
            panel.rules.callEnds();
        }
    }
    void loadAlarmPanel() {
        const std::string layout = writeFile("alarm.nelk_ui",
            R"({"controls":[{"id":"alm_2","properties":{"value":"1"}},{"id":"title"},{"id":"alm_1","properties":{"value":"3"}}]})");
        std::string error;
        ASSERT_TRUE(host.load("P", NELK_ALARM_PANEL_LIBRARY, std::string(""), error)) << error;
        // The test component shows no panel itself, so the layout is shown by a line of ours.
        send(("PS '1' '" + layout + "'").c_str());
    }
    // One line of the test component's, sent as from inside a call into it.
    void* send(const char* line, int kind = nelk_send::commandLine) {
        instance& panel = *host.find("P");
        panel.rules.callBegins();
        void* answer = host.receive(panel, line, kind);
        panel.rules.callEnds();
        return answer;
    }
    std::FILE* sink_ = nullptr;
    transcript output;
    headless_host host;
};

TEST_F(HeadlessHostTest, AlarmBroadcastRunsAgainstThePanel) {
    loadAlarmPanel();
    host.control("P", std::string("AckAll"), std::nullopt);
    const instance* panel = host.find("P");
    ASSERT_NE(panel, nullptr);
    // XI lists alm_2 then alm_1 (layout order); alm_2 read 1 and is acknowledged, alm_1 read 3.
    EXPECT_EQ(*panel->panel.find("alm_2")->find("alarm"), "4");
    EXPECT_EQ(*panel->panel.find("alm_2")->find("value"), "4");
    EXPECT_EQ(*panel->panel.find("alm_1")->find("value"), "3");
    EXPECT_EQ(host.protocolErrors(), 0);
}

TEST_F(HeadlessHostTest, AnswersToTextQueries) {
    loadAlarmPanel();
    expectAnswers({
        {"TG '1' 'alm_1' 'value'", "value=3"},
        {"TG '1' 'alm_1' 'missing'", "missing="},
        {"TG '1' 'alm_1' 'all'", "value=3"},
        {"TG '1' 'nothere' 'value'", nullptr},
        {"TG '2' 'alm_1' 'value'", nullptr},
        {"XI '1' 'alm_'", "alm_2,alm_1"},
        {"XI '1' 'zzz'", ""},
        {"XI '1' ''", "alm_2,title,alm_1"},
    });
    EXPECT_EQ(host.protocolErrors(), 0);
}

// A trace's answers: each scripted one answers the next line of exactly that text, in order, and
// then the model answers again; "PS" still shows the layout it names.
TEST_F(HeadlessHostTest, ScriptedAnswersComeFirstThenTheModel) {
    loadAlarmPanel();
    host.model().scriptAnswer("P", "TG '1' 'alm_1' 'value'", std::string("value=9"));
    host.model().scriptAnswer("P", "TG '1' 'alm_1' 'value'", std::nullopt);
    host.model().scriptAnswer("P", "XI '1' ''", std::string("x,y"));
    host.model().scriptAnswer("P", "PS '1' 'elsewhere'", std::string("7"));
    expectAnswers({
        {"TG '1' 'alm_1' 'all'", "value=3"},    // another text: the model's answer
        {"TG '1' 'alm_1' 'value'", "value=9"},  // the scripted ones, in order
        {"TG '1' 'alm_1' 'value'", nullptr},
        {"TG '1' 'alm_1' 'value'", "value=3"},  // used up: the model again
        {"XI '1' ''", "x,y"},
    });
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(send("PS '1' 'elsewhere'")), 7);
    EXPECT_EQ(host.find("P")->panel.controls().size(), 0u) << "the layout named was shown (and is missing)";
    EXPECT_EQ(host.protocolErrors(), 0);
}

TEST_F(HeadlessHostTest, OwnershipBreachesAreProtocolErrors) {
    loadAlarmPanel();
    instance& panel = *host.find("P");
    panel.rules.callBegins();
    const char* answer = static_cast<const char*>(host.receive(panel, "TG '1' 'alm_1' 'value'", nelk_send::commandLine));
    host.receive(panel, answer, nelk_send::giveBack);
    host.receive(panel, answer, nelk_send::giveBack);            // twice
    host.receive(panel, "not handed out", nelk_send::giveBack);  // foreign
    host.receive(panel, "IR 1 2", nelk_send::commandLine);       // malformed
    host.receive(panel, "IU 1", nelk_kind::commandText);         // unknown kind
    const char* late = static_cast<const char*>(host.receive(panel, "XI '1' 'alm_'", nelk_send::commandLine));
    panel.rules.callEnds();                                      // not given back before the return
    send(late, nelk_send::giveBack);                             // late, not twice
    EXPECT_EQ(host.protocolErrors(), 6);
    EXPECT_NE(panel.rules.breaches().back().message.find("late"), std::string::npos);
}

TEST_F(HeadlessHostTest, RegistrationsAndSlotReports) {
    loadAlarmPanel();
    send("IR 12 1 3");
    send("IW 12 'x' 2 0");
    EXPECT_EQ(*host.model().slots().text(12, 2), "x");
    send("IW 1000 'x' 2 0");  // no such driver: nothing stored
    EXPECT_EQ(host.model().slots().text(1000, 2), nullptr);
    send("IU 12");
    EXPECT_EQ(host.find("P")->registrations.count(), 0u);
    host.remove("P");
    EXPECT_EQ(host.protocolErrors(), 0);
}

}  // namespace
