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

}  // namespace
