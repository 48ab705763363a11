// The statement's words, written and read in one place: what the writer writes the reader reads
// back as it was, whatever the text; and the reader refuses what no writer writes.
#include <gtest/gtest.h>

#include "scenario_words.h"
#include "statement_round_trip.h"

namespace {

using nelk_test_kit::readStatementWords;
using nelk_test_kit::statement_word;

const char* const hostileTexts[] = {"",         "null",       "nothing",        "default",    "->",
                                    "#comment", "two words",  "\"quoted\"",      "back\\slash", "line\nfeed\r\n",
                                    "\t",       "\x01\x1f\x7f", "caf\xc3\xa9 \xe2\x82\xac", "\xc3 half a character",
                                    "%1 %2",    "a\\x41"};

TEST(ScenarioWordsTest, EveryTextWrittenAsAWordReadsBackAsItself) {
    for (const char* text : hostileTexts) {
        const std::string line = "command A " + nelk_test_kit::statementWord(text) + " -> null";
        std::vector<statement_word> words;
        std::string problem;
        ASSERT_TRUE(readStatementWords(line, words, problem)) << line << ": " << problem;
        ASSERT_EQ(words.size(), 5u) << line;
        EXPECT_EQ(words[2].text, text) << line;
        EXPECT_FALSE(words[2].isNull()) << line;  // the text null is never the null pointer
        EXPECT_TRUE(words[4].isNull());
    }
}

TEST(ScenarioWordsTest, WrittenStatementsKeepEachWordsQuoting) {
    for (const char* text : hostileTexts) {
        const std::vector<statement_word> words = {{"expect", false}, {"A", false}, {text, true}, {"null", false}};
        std::vector<statement_word> read;
        EXPECT_TRUE(nelk_tests::readsBackAsWritten(words, read));
    }
}

TEST(ScenarioWordsTest, QuotesEscapesCommentsAndNull) {
    std::vector<statement_word> words;
    std::string problem;
    ASSERT_TRUE(readStatementWords(R"(command A "text=a \"b\"\n\x41" -> null # comment)", words, problem));
    ASSERT_EQ(words.size(), 5u);
    EXPECT_EQ(words[2].text, "text=a \"b\"\nA");
    EXPECT_TRUE(words[2].quoted);
    EXPECT_TRUE(words[4].isNull());
    ASSERT_TRUE(readStatementWords(R"(x "null")", words, problem));
    EXPECT_FALSE(words[1].isNull());
    for (const char* bad : {R"(x "open)", R"(x "\q")", R"(x "\x4")", R"(x "\x00")"}) {
        EXPECT_FALSE(readStatementWords(bad, words, problem)) << bad;
        EXPECT_FALSE(problem.empty());
    }
}

}  // namespace
