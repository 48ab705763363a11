// The test kit itself: its give-back checks must catch what they promise to catch.
#include <gtest/gtest.h>

#include "debugger_output_capture.h"
#include "nelk_test_kit.h"

namespace {

using nelk_test_kit::recording_host;

TEST(KitTest, RecordsLinesAndAnswersByVerbAndByExactLine) {
    recording_host host;
    EXPECT_EQ(host.hostSend("PS '1' 'a.nelk_ui'", 0), reinterpret_cast<void*>(1));
    host.answerNumber("PS", 0);
    host.answerNumber("PS '1' 'b.nelk_ui'", 7);
    EXPECT_EQ(host.hostSend("PS '1' 'a.nelk_ui'", 0), nullptr);
    EXPECT_EQ(host.hostSend("PS '1' 'b.nelk_ui'", 0), reinterpret_cast<void*>(7));
    EXPECT_EQ(host.hostSend("IU 3", 0), nullptr);
    EXPECT_EQ(host.lines(), (std::vector<std::string>{"PS '1' 'a.nelk_ui'", "PS '1' 'a.nelk_ui'", "PS '1' 'b.nelk_ui'", "IU 3"}));
    EXPECT_EQ(host.takeLines().size(), 4u);
    EXPECT_TRUE(host.lines().empty());
    EXPECT_TRUE(host.finish().empty());
}

TEST(KitTest, ATextAnswerGivenBackOnceIsClean) {
    recording_host host;
    host.answerText("TG", "value=3");
    auto* answer = static_cast<const char*>(host.hostSend("TG '1' 'alm_1' 'value'", 0));
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, "value=3");
    EXPECT_EQ(host.outstandingAnswers(), 1);
    host.hostSend(answer, 5);
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_TRUE(host.finish().empty());
}

TEST(KitTest, CatchesAMissingGiveBack) {
    recording_host host;
    host.answerText("XI", "alm_1,alm_2");
    host.hostSend("XI '1' 'alm_'", 0);
    const auto problems = host.finish();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("never given back"), std::string::npos);
}

#if !defined(_WIN32)
TEST(KitTest, AHostReportsWhatNoTestLookedAtWhenItDies) {
    debugger_output_capture capture;  // standard error, where the report goes
    {
        recording_host host;
        host.answerText("TG", "value=1");
        host.hostSend("TG '1' 'c' 'value'", 0);
    }
    {
        recording_host host;  // its problems were looked at: nothing more is said
        host.hostSend("IR 1", 0);
        EXPECT_EQ(host.finish().size(), 1u);
    }
    EXPECT_EQ(capture.text(), "recording_host: the answer to \"TG '1' 'c' 'value'\" was never given back\n");
}
#endif

TEST(KitTest, CatchesADoubleGiveBackAndAForeignPointer) {
    recording_host host;
    host.answerText("TG", "value=3");
    auto* answer = static_cast<const char*>(host.hostSend("TG '1' 'alm_1' 'value'", 0));
    host.hostSend(answer, 5);
    host.hostSend(answer, 5);
    const char foreign[] = "not the host's";
    host.hostSend(foreign, 5);
    const auto problems = host.finish();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("twice"), std::string::npos);
    EXPECT_NE(problems[1].find("never handed out"), std::string::npos);
}

TEST(KitTest, NullTextAnswerIsNotTracked) {
    recording_host host;
    host.answerText("TG", std::nullopt);
    EXPECT_EQ(host.hostSend("TG '1' 'c' 'p'", 0), nullptr);
    EXPECT_EQ(host.textsHandedOut(), 0);
}

TEST(KitTest, ReportsMalformedLinesAndUnknownKinds) {
    recording_host host;
    host.hostSend("IR 1 2", 0);
    host.hostSend("AS", 3);
    host.hostSend(nullptr, 0);
    EXPECT_EQ(host.finish().size(), 3u);
}

TEST(LineGrammarTest, AcceptsTheNineVerbsAndRejectsTheRest) {
    struct row { const char* line; bool wellFormed; };
    const row rows[] = {
        {"AS", true}, {"AS ", false}, {"AS\n", false},
        {"PS '1' 'corvane.nelk_ui'", true}, {"PS '1' 'layouts/corvane.nelk_ui' 'extra'", true}, {"PS 1 'x'", false},
        {"TP 'text=Camera 1' '1' 'umdText'", true}, {"TP 'text=it's' '1' 'umdText'", true}, {"TP 'text' '1'", false},
        {"IR 12 7 7", true}, {"IR -2147483648 2147483647 0 'ADD'", true}, {"IR 12 7", false},
        {"IR 12  7 7", false}, {"IR 012 7 7", false}, {"IR 2147483648 1 1", false}, {"IR 1 1 1 ADD", false},
        {"IU 12", true}, {"IU -1", true}, {"IU", false}, {"IU +1", false}, {"IU 1 2", false},
        {"IW 12 'Camera 1' 7 0", true}, {"IW 12 '' 7 1", true}, {"IW 12 'a' 'b' 7 0", true},
        {"IW 12 'x' 7 2", false}, {"IW 12 x 7 0", false}, {"IW 12 'x' 7", false},
        {"ET 1", true}, {"ET -3", true}, {"ET", false}, {"ET 1\r", false},
        {"TG '1' 'alm_1' 'value'", true}, {"TG '1' 'alm_1'", false},
        {"XI '1' 'alm_'", true}, {"XI '1'", false},
        {"ZZ", false}, {"", false}, {"I", false}, {"ps '1' 'x'", false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(nelk_test_kit::lineProblem(r.line).empty(), r.wellFormed) << '"' << r.line << '"';
    }
    EXPECT_FALSE(nelk_test_kit::lineProblem(nullptr).empty());
}

}  // namespace
