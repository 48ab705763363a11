// The host rules every host shares: what is carried out, the give-back ledger and the breaches,
// each named for what it is.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "host_rules.h"

namespace {

using nelk_test_kit::breach_kind;
using nelk_test_kit::host_rules;

// A host's life in steps; `texts` are the answers handed out so far, in order.
struct session {
    host_rules rules{nelk_test_kit::plainTextStorage(), true};
    std::vector<char*> texts;
    // A line sent from inside a call, as lines are.
    void line(const char* text) {
        rules.callBegins();
        rules.received(text, nelk_send::commandLine);
        rules.callEnds();
    }
    void answer(const char* line) { texts.push_back(rules.handOut(line, "value=1")); }
    void giveBack(std::size_t index) { rules.received(texts.at(index), nelk_send::giveBack); }
    std::vector<breach_kind> kinds() const {
        std::vector<breach_kind> all;
        for (const auto& each : rules.breaches()) all.push_back(each.kind);
        return all;
    }
};

TEST(HostRulesTest, EachBreachIsNamedForWhatItIs) {
    struct row {
        const char* name;
        std::function<void(session&)> steps;
        std::vector<breach_kind> breaches;
    };
    const row rows[] = {
        {"a clean call", [](session& s) {
             s.rules.callBegins();
             s.answer("TG '1' 'a' 'value'");
             s.giveBack(0);
             s.rules.callEnds();
         }, {}},
        {"a malformed line", [](session& s) { s.line("IR 1 2"); }, {breach_kind::malformed_line}},
        {"a null line", [](session& s) { s.line(nullptr); }, {breach_kind::malformed_line}},
        {"an unknown kind", [](session& s) { s.rules.received("IU 1", 3); }, {breach_kind::unknown_kind}},
        {"AS outside deletion", [](session& s) { s.line("AS"); }, {breach_kind::shutdown_outside_deletion}},
        {"a line after AS", [](session& s) {
             s.rules.deletionBegins();
             s.line("AS");
             s.line("IU 1");
             s.line("AS");
             s.rules.deletionEnds();
         }, {breach_kind::line_after_shutdown, breach_kind::line_after_shutdown}},
        {"deletion without AS", [](session& s) {
             s.rules.deletionBegins();
             s.line("IU 1");
             s.rules.deletionEnds();
         }, {breach_kind::no_shutdown}},
        {"a foreign pointer", [](session& s) { s.rules.received("not handed out", nelk_send::giveBack); },
         {breach_kind::foreign_give_back}},
        {"a line outside any call", [](session& s) { s.rules.received("IU 1", nelk_send::commandLine); },
         {breach_kind::line_outside_call}},
        {"a line on this host while another component is called", [](session& s) {
             host_rules other{nelk_test_kit::plainTextStorage(), true};
             other.callBegins();
             s.rules.received("IU 1", nelk_send::commandLine);
             other.callEnds();
         }, {breach_kind::line_through_other_host}},
        {"a line from another thread", [](session& s) {
             s.rules.callBegins();
             std::thread([&s] { s.rules.received("IU 1", nelk_send::commandLine); }).join();
             s.rules.callEnds();
         }, {breach_kind::line_from_other_thread}},
        {"one answer block returned twice before its give-back", [](session& s) {
             char block[] = "x";
             s.rules.answerReturned(block, "a");
             s.rules.answerReturned(block, "b");
             s.rules.answerGivenBack(block);
             s.rules.answerReturned(block, "c");
         }, {breach_kind::foreign_answer}},
        {"a second give-back", [](session& s) {
             s.rules.callBegins();
             s.answer("XI '1' 'alm_'");
             s.giveBack(0);
             s.giveBack(0);
             s.rules.callEnds();
         }, {breach_kind::double_give_back}},
        {"a late give-back is late, not twice", [](session& s) {
             s.rules.callBegins();
             s.answer("TG '1' 'a' 'value'");
             s.rules.callEnds();
             s.rules.callBegins();
             s.giveBack(0);
             s.rules.callEnds();
         }, {breach_kind::not_given_back, breach_kind::late_give_back}},
        {"nested calls: due at the outermost return", [](session& s) {
             s.rules.callBegins();
             s.rules.callBegins();
             s.answer("TG '1' 'a' 'value'");
             s.rules.callEnds();
             s.giveBack(0);
             s.rules.callEnds();
         }, {}},
        {"a text still out at deletion's end", [](session& s) {
             s.rules.deletionBegins();
             s.rules.callBegins();
             s.answer("TG '1' 'a' 'value'");
             s.line("AS");
             s.rules.callEnds();
             s.rules.deletionEnds();
         }, {breach_kind::not_given_back}},
    };
    for (const row& r : rows) {
        session s;
        r.steps(s);
        EXPECT_EQ(s.kinds(), r.breaches) << r.name;
    }
}

TEST(HostRulesTest, CarriesOutOnlyWellFormedLinesBeforeShutdown) {
    host_rules rules{nelk_test_kit::plainTextStorage(), true};
    rules.callBegins();
    const auto line = rules.received("IR 12 7 7", nelk_send::commandLine);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->numbers, (std::vector<int>{12, 7, 7}));
    EXPECT_FALSE(rules.received("IR 12 7", nelk_send::commandLine));
    rules.deletionBegins();
    EXPECT_TRUE(rules.received("AS", nelk_send::commandLine));
    EXPECT_TRUE(rules.shutdownAnnounced());
    EXPECT_FALSE(rules.received("IU 12", nelk_send::commandLine));
}

TEST(HostRulesTest, WithoutCallTrackingTextsAreDueAtTheEnd) {
    host_rules rules;
    char* text = rules.handOut("TG '1' 'a' 'value'", "value=1");
    EXPECT_EQ(rules.outstandingTexts(), 1);
    rules.finish();
    ASSERT_EQ(rules.breaches().size(), 1u);
    EXPECT_EQ(rules.breaches()[0].message, "the answer to \"TG '1' 'a' 'value'\" was never given back");
    rules.received(text, nelk_send::giveBack);
    EXPECT_EQ(rules.breaches().back().kind, breach_kind::late_give_back);
    EXPECT_EQ(rules.outstandingTexts(), 0);
}

TEST(HostRulesTest, AGivenBackTextIsOverwrittenNotFreed) {
    host_rules rules;
    char* text = rules.handOut("TG '1' 'a' 'value'", "value=12");
    rules.received(text, nelk_send::giveBack);
    EXPECT_STREQ(text, "########");  // still allocated: a late read finds garbage
}

TEST(HostRulesTest, DescribesALineBreachWithTheLineEscaped) {
    host_rules rules;
    rules.received("IR 1\n", nelk_send::commandLine);
    ASSERT_EQ(rules.breaches().size(), 1u);
    EXPECT_EQ(nelk_test_kit::describe(rules.breaches()[0]), "command line ends with a line end (line: IR 1\\n)");
    EXPECT_EQ(nelk_test_kit::escaped("a\"b\\c\x01\t"), "a\\\"b\\\\c\\x01\\t");
    EXPECT_EQ(nelk_test_kit::escaped("a\"b\\c\n", true), "a\"b\\c\\n");
    // Text in UTF-8 stays readable; bytes that are not UTF-8 are escaped, so a line stays text.
    EXPECT_EQ(nelk_test_kit::escaped("Cam\xc3\xa9ra \xe2\x82\xac"), "Cam\xc3\xa9ra \xe2\x82\xac");
    EXPECT_EQ(nelk_test_kit::escaped("\xff\xc3(\xf5\x80\x80\x80"), "\\xff\\xc3(\\xf5\\x80\\x80\\x80");
}

}  // namespace
