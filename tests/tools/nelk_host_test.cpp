// nelk-host's parts: scenario words, layouts, and the host's answers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "host/panel_layout.h"
#include "scenario/scenario.h"
#include "host/headless_host.h"
#include "validator/checks.h"
#include "validator/image_checks.h"
#include "validator/validator.h"

namespace {

using namespace nelk_host_tool;

// Every statement form, its words hostile texts where it takes texts, written by the kit's writer
// reads back as the same words and as the same form.
TEST(StatementTableTest, EveryFormWrittenReadsBackAsItself) {
    const std::vector<std::string> hostile = {"text=a \"b\"", "two words", "", "null", "->", "#not a comment", "tab\there",
                                              "line\nfeed", "back\\slash", "caf\xc3\xa9", "\x7f", "%1 default"};
    std::size_t next = 0;
    for (const statement_form& form : statementForms()) {
        std::vector<statement_word> words{{form.name, false}};
        for (int i = 0; i < form.fewestWords; ++i) words.push_back({hostile[next++ % hostile.size()], true});
        const std::string line = nelk_test_kit::writeStatement(words);
        std::vector<statement_word> read;
        std::string problem;
        ASSERT_TRUE(readStatementWords(line, read, problem)) << line << ": " << problem;
        ASSERT_EQ(read.size(), words.size()) << line;
        for (std::size_t i = 0; i < words.size(); ++i) {
            EXPECT_EQ(read[i].text, words[i].text) << line;
            EXPECT_EQ(read[i].quoted, words[i].quoted) << line;
        }
        EXPECT_EQ(formOf(read), &form) << line;
    }
}

TEST(StatementTableTest, TheDocumentListsEveryStatementAsTheTableHasIt) {
    std::ifstream input(NELK_SOURCE_DIR "/docs/nelk-host.md");
    ASSERT_TRUE(input);
    std::string document((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    for (std::size_t at; (at = document.find("\\|")) != std::string::npos;) document.replace(at, 2, "|");
    for (const statement_form& form : statementForms()) {
        EXPECT_NE(document.find(std::string("| `") + form.usage + "` |"), std::string::npos) << form.usage;
        const std::string help = form.role == statement_role::session ? sessionCommandHelp() : statementHelp();
        EXPECT_NE(help.find(form.usage), std::string::npos) << form.usage;
    }
}

TEST(CheckTableTest, TheDocumentListsEveryCheckAsListSaysIt) {
    std::ifstream input(NELK_SOURCE_DIR "/docs/validator.md");
    ASSERT_TRUE(input);
    const std::string document((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    for (const auto* table : {&nelk_validator::imageChecks(), &nelk_validator::allChecks()}) {
        for (const nelk_validator::check& each : *table) {
            const std::string row = std::string("| `") + each.id + "` | " + each.guarantee + " |";
            EXPECT_NE(document.find(row), std::string::npos) << row;
            EXPECT_NE(nelk_validator::checkList().find(each.guarantee), std::string::npos) << each.id;
        }
    }
}

// What a transcript printed: errors only, as --quiet shows them.
std::string readBack(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int byte; (byte = std::fgetc(file)) != EOF;) text += static_cast<char>(byte);
    return text;
}

TEST(StatementTableTest, BadStatementsFailWithTheirReason) {
    struct row { const char* statement; const char* message; };
    const row rows[] = {
        {"command X \"a\"", "here:1: error: no live instance \"X\""},
        {"delete X", "here:1: error: no live instance \"X\""},
        {"timer X 1", "here:1: error: no live instance \"X\""},
        {"check X c p v", "here:1: error: no instance \"X\""},
        {"timer X one", "here:1: error: malformed statement; the form is: timer NAME ID [every|after DURATION | stop]"},
        {"timer", "here:1: error: malformed statement; the form is: timer NAME ID [every|after DURATION | stop]"},
        {"advance 3", "here:1: error: malformed statement; the form is: advance DURATION|next"},
        {"advance -1s", "here:1: error: malformed statement; the form is: advance DURATION|next"},
        {"clock speed 0", "here:1: error: malformed statement; the form is: clock run|pause|speed FACTOR"},
        {"command A \"x\" => y", "here:1: error: malformed statement; the form is: command NAME TEXT [-> ANSWER|null]"},
        {"delivery later", "here:1: error: malformed statement; the form is: delivery queued|immediate|none"},
        {"answer X \"IR 1 1 1\" 1", "here:1: error: only \"PS\", \"TG\" and \"XI\" lines are answered; \"IR 1 1 1\" is not one"},
        {"answer X \"PS '1' 'a'\" yes", "here:1: error: a \"PS\" line is answered with a number (or null)"},
        {"slot 0 1 x", "here:1: error: no slot 0/1 (drivers 1-999, slots 1-4096)"},
        {"bogus 1", "here:1: error: unknown statement \"bogus\""},
        {"echo \"open", "here:1: error: the quoted text opened at column 6 is not closed"},
    };
    for (const row& r : rows) {
        std::FILE* sink = std::tmpfile();
        {
            transcript output(sink, transcript_style::quiet, false);
            headless_host host(output, delivery_mode::queued);
            scenario_runner runner(host, output, "");
            EXPECT_EQ(runner.runStatement("here:1", r.statement), statement_result::failed) << r.statement;
        }
        EXPECT_EQ(readBack(sink).rfind(r.message, 0), 0u) << readBack(sink);
        std::fclose(sink);
    }
}

// Statements run on Corvane, which stops every timer that fires ("ET"): whether they hold, and
// the first error they gave.
TEST(ScenarioLanguageTest, TimersDeliveryAndTheWaysToExpectLines) {
    struct row {
        const char* what;
        std::string statements;
        statement_result result;
        const char* error;  // the first error's beginning, when it fails
    };
    const row rows[] = {
        {"a repeating timer fires when it falls due, and Corvane stops it",
         "discard A\ntimer A 1 every 1s\nadvance 999ms\nexpect A nothing\nadvance 1ms\nexpect A \"ET 1\"\n"
         "advance 5s\nexpect A nothing",
         statement_result::ok, ""},
        {"a timer that fires once, reached with advance next",
         "discard A\ntimer A 2 after 2s\nadvance 1s\nexpect A nothing\nadvance next\nexpect A \"ET 2\"\nadvance next",
         statement_result::ok, ""},
        {"a timer the host stops does not fire",
         "discard A\ntimer A 3 every 1s\ntimer A 3 stop\nadvance 10s\nexpect A nothing", statement_result::ok, ""},
        {"a line's beginning, a pattern, and the load text",
         "expect A \"PS '1' '${load-text}/corvane.nelk_ui'\"\ncommand A \"InfoDriverID=12\"\n"
         "command A \"Slot=7\"\nexpect A prefix \"IR 12 \" matching \"IR 12 [0-9]+ 7\"",
         statement_result::ok, ""},
        {"a mismatch consumes every line it compared, so the next expectation holds",
         "command A \"InfoDriverID=12\"\nexpect A \"PS x\" \"IR 12 0 0\" \"IR 13 0 0\"\nexpect A nothing",
         statement_result::failed,
         "t:3: error: expected A to send \"PS x\", but it sent \"PS '1' '"},
        {"a pattern that is no regular expression", "expect A matching \"PS (\"", statement_result::failed,
         "t:2: error: the pattern \"PS (\" is not a regular expression"},
        {"with delivery none the writer hears nothing of its own write",
         "delivery none\ndiscard A\ncommand A InfoDriverID=12\ncommand A Slot=7\ncommand A text=x\n"
         "expect A \"IR 12 0 0\" \"IR 12 7 7\" \"IW 12 'x' 7 0\"\nexpect A nothing",
         statement_result::ok, ""},
        {"without it, the host reports the write back to the registered writer",
         "discard A\ncommand A InfoDriverID=12\ncommand A Slot=7\ncommand A text=x\n"
         "expect A \"IR 12 0 0\" \"IR 12 7 7\" \"IW 12 'x' 7 0\" \"TP 'text=x' '1' 'umdText'\"",
         statement_result::ok, ""},
    };
    for (const row& each : rows) {
        std::FILE* sink = std::tmpfile();
        statement_result result = statement_result::ok;
        {
            transcript output(sink, transcript_style::quiet, false);
            headless_host host(output, delivery_mode::queued);
            scenario_runner runner(host, output, NELK_CORVANE_LIBRARY);
            result = runner.runText("t", "load A\n" + each.statements);
        }
        EXPECT_EQ(result, each.result) << each.what << "\n" << readBack(sink);
        const std::string errors = readBack(sink);
        if (*each.error != '\0') {
            EXPECT_EQ(errors.rfind(each.error, 0), 0u) << each.what << "\n" << errors;
            EXPECT_EQ(errors.find("t:4:"), std::string::npos) << each.what << ": the next expectation failed too\n" << errors;
        }
        std::fclose(sink);
    }
}

TEST(ScenarioLanguageTest, TimersDueTogetherFireInTheInstancesOrderThenById) {
    std::FILE* sink = std::tmpfile();
    transcript output(sink, transcript_style::quiet, false);
    std::vector<std::string> fired;
    output.listen([&](const nlohmann::ordered_json& event) {
        if (event.value("event", "") == "deliver" && event.value("kind", 0) == 4)
            fired.push_back(event.value("instance", "") + " " + event.value("what", ""));
    });
    headless_host host(output, delivery_mode::queued);
    scenario_runner runner(host, output, NELK_CORVANE_LIBRARY);
    EXPECT_EQ(runner.runText("t", "load A\nload B\ntimer B 1 every 500ms\ntimer A 2 every 1s\ntimer A 1 every 1s\n"
                                  "advance 1s"),
              statement_result::ok)
        << readBack(sink);
    EXPECT_EQ(fired, (std::vector<std::string>{"B timer 1", "A timer 1", "A timer 2"}));
    EXPECT_EQ(host.model().clock(), 1000);
    std::fclose(sink);
}

std::string writeFile(const std::string& name, const std::string& content) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << content;
    return path;
}

TEST(PanelLayoutTest, GoodBrokenAndMissingFiles) {
    std::string problem;
    const panel_layout good = loadLayout(
        writeFile("good.nelk_ui", R"({"controls":[{"id":"b","type":"label","properties":{"z":"1","a":2}},{"id":"a"}]})"),
        problem);
    EXPECT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(good.controls().size(), 2u);
    EXPECT_EQ(good.controls()[0].id, "b");  // layout order kept
    EXPECT_EQ(good.controls()[0].properties[0].first, "z");  // property order kept
    EXPECT_EQ(*good.controls()[0].find("a"), "2");

    struct row { std::string content; std::size_t controls; const char* problem; };
    const row rows[] = {
        {"not json", 0, "not valid JSON"},
        {R"({"panel":"x"})", 0, "no \"controls\" list"},
        {R"({"controls":[{"type":"label"},{"id":"ok"}]})", 1, "without a text \"id\""},
        {R"({"controls":[{"id":"a"},{"id":"a"}]})", 1, "twice"},
        {R"({"controls":[{"id":"a","properties":)" + std::string(40, '[') + std::string(40, ']') + "}]}", 0,
         "nests deeper than 32 levels"},
        {R"({"controls":)" + std::string(100000, '[') + std::string(100000, ']') + "}", 0, "nests deeper than 32 levels"},
        {R"({"controls":[{"id":"a","properties":{"text":"[not nesting]{"}}]})", 1, ""},
    };
    for (const row& r : rows) {
        const panel_layout layout = loadLayout(writeFile("broken.nelk_ui", r.content), problem);
        EXPECT_EQ(layout.controls().size(), r.controls) << r.content;
        EXPECT_NE(problem.find(r.problem), std::string::npos) << problem;
    }
    const panel_layout missing = loadLayout(testing::TempDir() + "no-such-file.nelk_ui", problem);
    EXPECT_TRUE(missing.controls().empty());
    EXPECT_NE(problem.find("cannot open"), std::string::npos);
    const panel_layout folder = loadLayout(testing::TempDir(), problem);
    EXPECT_TRUE(folder.controls().empty());
    EXPECT_NE(problem.find("is not a file"), std::string::npos) << problem;
}

TEST(PanelLayoutTest, ReadsWhatDrawingNeeds) {
    std::string problem;
    const panel_layout layout = loadLayout(writeFile("drawn.nelk_ui", R"({"panel":"Alarms","width":320,"height":200,
        "controls":[{"id":"AckAll","type":"button","command":"ack","x":10,"y":20,"width":80,"height":24,
                     "properties":{"text":"Ack all"}},
                    {"id":"alm_1","type":"alarm","x":10},
                    {"id":"name","type":"text"}]})"), problem);
    EXPECT_TRUE(problem.empty()) << problem;
    EXPECT_EQ(layout.title, "Alarms");
    EXPECT_EQ(layout.width, 320);
    EXPECT_EQ(layout.height, 200);
    ASSERT_EQ(layout.controls().size(), 3u);
    const panel_control& button = layout.controls()[0];
    EXPECT_EQ(button.command, "ack");
    ASSERT_TRUE(button.geometry);
    EXPECT_EQ(button.geometry->y, 20);
    EXPECT_EQ(button.geometry->width, 80);
    EXPECT_FALSE(layout.controls()[1].geometry);  // x without y: laid out in the flow
    EXPECT_EQ(layout.controls()[2].type, "text");
}

// Loading is linear in the controls: a quadratic loader takes minutes here. The bound is generous,
// for loaded machines and emulators; the memcheck stage leaves it out (valgrind alone would take it).
TEST(PanelLayoutScaleTest, AHundredThousandControlsLoadInLinearTime) {
    std::string content = R"({"controls":[)";
    for (int i = 0; i < 100000; ++i) content += std::string(i ? "," : "") + R"({"id":"c)" + std::to_string(i) + R"(","properties":{"text":"x"}})";
    content += "]}";
    const std::string path = writeFile("many.nelk_ui", content);
    std::string problem;
    const auto started = std::chrono::steady_clock::now();
    const panel_layout layout = loadLayout(path, problem);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(layout.controls().size(), 100000u);
    EXPECT_NE(layout.find("c99999"), nullptr);
    EXPECT_LT(seconds, 60.0);
}

// A host session on the test alarm component, which answers with "TG" and "XI" on demand.
class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest() : output(sink(), transcript_style::quiet, false), host(output, delivery_mode::queued) {}
    ~SimulatorTest() override {
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

TEST_F(SimulatorTest, AlarmBroadcastRunsAgainstThePanel) {
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

TEST_F(SimulatorTest, AnswersToTextQueries) {
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
TEST_F(SimulatorTest, ScriptedAnswersComeFirstThenTheModel) {
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

TEST_F(SimulatorTest, OwnershipBreachesAreProtocolErrors) {
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

TEST_F(SimulatorTest, RegistrationsAndSlotReports) {
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
