// The statement table (scenario/statements.cpp) and the scenario runner: every form written reads
// back as itself, the document lists them, bad ones fail with their reason, and they run as they say.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "host/headless_host.h"
#include "scenario/scenario.h"
#include "statement_round_trip.h"

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
        std::vector<statement_word> read;
        ASSERT_TRUE(nelk_tests::readsBackAsWritten(words, read));
        EXPECT_EQ(formOf(read), &form) << nelk_test_kit::writeStatement(words);
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
        // Quiet: the error at the start of a line, after the events that led to it.
        EXPECT_NE(("\n" + readBack(sink)).find("\n" + std::string(r.message)), std::string::npos) << readBack(sink);
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
            // Quiet: the error, after the events that led to it, at the start of a line.
            EXPECT_NE(("\n" + errors).find("\n" + std::string(each.error)), std::string::npos) << each.what << "\n" << errors;
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

}  // namespace
