// The one reader of command lines: every verb's shape, texts found from their fixed separators,
// typed numbers, and the exact problem for what is not a line.
#include <gtest/gtest.h>

#include <climits>

#include "line_parser.h"

namespace {

using nelk_test_kit::command_line;
using nelk_test_kit::readLine;

struct well_formed {
    const char* line;
    nelk_verb verb;
    std::vector<std::string> texts;
    std::vector<int> numbers;
    bool add;
};

TEST(LineParserTest, ReadsEveryVerbIntoTypedArguments) {
    const well_formed rows[] = {
        {"AS", nelk_verb::AS, {}, {}, false},
        {"PS '1' 'corvane.nelk_ui'", nelk_verb::PS, {"1", "corvane.nelk_ui"}, {}, false},
        {"PS '1' 'layouts/corvane.nelk_ui' 'extra'", nelk_verb::PS, {"1", "layouts/corvane.nelk_ui", "extra"}, {}, false},
        {"PS '1' 'a' 'b' 'c'", nelk_verb::PS, {"1", "a' 'b", "c"}, {}, false},  // the layout takes the extra pieces
        {"TP 'text=Camera 1' '1' 'umdText'", nelk_verb::TP, {"text=Camera 1", "1", "umdText"}, {}, false},
        {"TP 'text=' '1' 'umdText'", nelk_verb::TP, {"text=", "1", "umdText"}, {}, false},
        {"TP 'text=it's' '1' 'umdText'", nelk_verb::TP, {"text=it's", "1", "umdText"}, {}, false},
        {"TP 'text=a' 'b' '1' 'umdText'", nelk_verb::TP, {"text=a' 'b", "1", "umdText"}, {}, false},
        {"TG '1' 'alm_1' 'value'", nelk_verb::TG, {"1", "alm_1", "value"}, {}, false},
        {"TG '1' 'a' 'b' 'value'", nelk_verb::TG, {"1", "a' 'b", "value"}, {}, false},
        {"TG '1'' 'c'' 'va'lue'", nelk_verb::TG, {"1'", "c'", "va'lue"}, {}, false},
        {"XI '1' 'alm_'", nelk_verb::XI, {"1", "alm_"}, {}, false},
        {"XI '1' ''", nelk_verb::XI, {"1", ""}, {}, false},
        {"IR 12 7 7", nelk_verb::IR, {}, {12, 7, 7}, false},
        {"IR -2147483648 2147483647 0 'ADD'", nelk_verb::IR, {}, {INT_MIN, INT_MAX, 0}, true},
        {"IU 12", nelk_verb::IU, {}, {12}, false},
        {"IU -2147483648", nelk_verb::IU, {}, {INT_MIN}, false},
        {"IW 12 'Camera 1' 7 0", nelk_verb::IW, {"Camera 1"}, {12, 7, 0}, false},
        {"IW 12 'it's 7 0' 7 0", nelk_verb::IW, {"it's 7 0"}, {12, 7, 0}, false},
        {"IW -1 '' 4096 1", nelk_verb::IW, {""}, {-1, 4096, 1}, false},
        {"IW 12 'a' 'b' -7 0", nelk_verb::IW, {"a' 'b"}, {12, -7, 0}, false},
        {"ET 1", nelk_verb::ET, {}, {1}, false},
        {"ET -3", nelk_verb::ET, {}, {-3}, false},
        {"ET 0", nelk_verb::ET, {}, {0}, false},
    };
    for (const well_formed& r : rows) {
        const auto reading = readLine(r.line);
        ASSERT_TRUE(reading.line) << r.line << ": " << reading.problem;
        EXPECT_TRUE(reading.problem.empty()) << r.line;
        EXPECT_EQ(reading.line->verb, r.verb) << r.line;
        EXPECT_EQ(reading.line->texts, r.texts) << r.line;
        EXPECT_EQ(reading.line->numbers, r.numbers) << r.line;
        EXPECT_EQ(reading.line->add, r.add) << r.line;
    }
}

TEST(LineParserTest, NamesTheExactProblem) {
    struct malformed { const char* line; const char* problem; };
    const malformed rows[] = {
        {"", "empty command line"},
        {"AS\n", "command line ends with a line end"},
        {"ET 1\r", "command line ends with a line end"},
        {"I", "unknown verb \"I\""},
        {"ZZ", "unknown verb \"ZZ\""},
        {"ps '1' 'x'", "unknown verb \"ps\""},
        {"IRx 1 2 3", "expected a space after the verb at byte 2"},
        {"AS ", "AS takes no arguments"},
        {"IU", "IU takes 1 number"},
        {"IU 1 2", "IU takes 1 number"},
        {"IU +1", "expected a number at byte 3"},
        {"ET", "ET takes 1 number"},
        {"IR 12 7", "IR takes 3 numbers"},
        {"IR 12  7 7", "expected a number at byte 6"},
        {"IR 012 7 7", "number \"012\" at byte 3 has a leading zero"},
        {"IR -0 7 7", "number \"-0\" at byte 3 is not plain decimal"},
        {"IR 2147483648 1 1", "number \"2147483648\" at byte 3 is outside 32 bits"},
        {"IR -2147483649 1 1", "number \"-2147483649\" at byte 3 is outside 32 bits"},
        {"IR 99999999999999999999999 1 1", "number \"99999999999999999999999\" at byte 3 is outside 32 bits"},
        {"IR 1 1 1 ADD", "IR takes 3 numbers and an optional 'ADD'"},
        {"IW 12 'x' 7 2", "IW takes a number, a quoted text, a number and a flag 0 or 1"},
        {"IW 12 'x' 7", "IW takes a number, a quoted text, a number and a flag 0 or 1"},
        {"IW 12 x 7 0", "expected a quoted text at byte 6"},
        {"IW 12 'x 7 0", "unclosed quote at byte 6"},
        {"IW 12 'x' 07 0", "number \"07\" at byte 10 has a leading zero"},
        {"TP 'text' '1'", "TP takes 3 quoted texts"},
        {"TP 'text' '1' 'umdText'", "TP's first text is not property=value"},
        {"TP 'text=Camera 1' '1' 'umd", "unclosed quote at byte 23"},
        {"TP 'text=Camera", "unclosed quote at byte 3"},
        {"TP '", "unclosed quote at byte 3"},
        {"TG '1' 'alm_1'", "TG takes 3 quoted texts"},
        {"XI '1'", "XI takes 2 quoted texts"},
        {"PS 1 'x'", "expected a quoted text at byte 3"},
        {"PS '1'", "PS takes 2 or 3 quoted texts"},
    };
    for (const malformed& r : rows) {
        const auto reading = readLine(r.line);
        EXPECT_FALSE(reading.line) << '"' << r.line << '"';
        EXPECT_EQ(reading.problem, r.problem) << '"' << r.line << '"';
        EXPECT_EQ(nelk_test_kit::lineProblem(r.line), r.problem);
    }
    EXPECT_EQ(nelk_test_kit::lineProblem(nullptr), "null command line");
    EXPECT_EQ(nelk_test_kit::lineProblem("AS"), "");
}

}  // namespace
