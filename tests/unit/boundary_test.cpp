// Texts of 2 GB or more at the framework's boundary: refused as an event the component cannot
// take, nothing sent and no exception into the host, never passed on cut short. Built from one
// megabyte mapped again and again (huge_text.h), so the tests cost no gigabytes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <stdexcept>

#include "huge_text.h"
#include "nelk_test_kit.h"
#include "test_component.h"

namespace {

using namespace nelk_test_kit;

// 2^31 bytes, the first length an int cannot hold; and 2^32 + 5, which a 32-bit count takes for 5.
// (A 32-bit build cannot make them and skips; its size_t holds only the first.)
const std::size_t lengths[] = {std::size_t{1} << 31, static_cast<std::size_t>((std::uint64_t{1} << 32) + 5)};

#define NELK_NEED_HUGE_TEXT(name, length)                                      \
    huge_text name(length);                                                    \
    if (!name.made()) GTEST_SKIP() << "texts of gigabytes need 64-bit Linux"

TEST(HugeTextTest, TheStringLibraryRefusesRatherThanCuts) {
    for (const std::size_t length : lengths) {
        NELK_NEED_HUGE_TEXT(text, length);
        EXPECT_THROW(nelk_string{text.text()}, std::length_error) << length;
        EXPECT_THROW(nelk_stringview{text.text()}, std::length_error) << length;
        nelk_string kept("kept");
        EXPECT_THROW(kept = text.text(), std::length_error);
        EXPECT_THROW(kept += text.text(), std::length_error);
        EXPECT_STREQ(kept, "kept");  // a refused assignment changes nothing
        EXPECT_THROW(kept + text.text(), std::length_error);
    }
}

class HugeEventTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    recording_host host;
};

TEST_F(HugeEventTest, EveryKindOfEventWithSuchATextIsIgnored) {
    for (const std::size_t length : lengths) {
        NELK_NEED_HUGE_TEXT(text, length);
        host.takeLines();  // the "AS" of the last round's component
        test_component component(&host, "");
        component.answer = "an answer";
        // Kind 3: the command text (no '=', so the name is the whole text).
        EXPECT_EQ(component.callback(const_cast<char*>(text.text()), nelk_kind::commandText), nullptr);
        slot_notification slot(12, 7, std::string("x"));
        slot.record()->slotText = text.text();
        EXPECT_EQ(component.callback(slot.record(), nelk_kind::slotValue), nullptr);
        control_notification control(std::string("x"), std::string("press=1"));
        control.record()->controlId = text.text();
        EXPECT_EQ(component.callback(control.record(), nelk_kind::controlEvent), nullptr);
        component.alarmHandling = true;  // the alarm interception reads the id too
        EXPECT_EQ(component.callback(control.record(), nelk_kind::controlEvent), nullptr);
        EXPECT_TRUE(component.calls.empty());
        EXPECT_TRUE(host.takeLines().empty());
    }
}

TEST_F(HugeEventTest, AHostAnswerOfSuchLengthIsGivenBackAndNotRead) {
    NELK_NEED_HUGE_TEXT(text, lengths[0]);
    // A host whose "XI" answer is the huge text: the broadcast takes nothing from it, sends no
    // line for it, and gives it back.
    struct huge_answer_host : nelk_host {
        const char* answer;
        int givenBack = 0;
        std::vector<std::string> lines;
        void* hostSend(const char* line, int kind) override {
            if (kind == nelk_send::giveBack) {
                givenBack += line == answer ? 1 : 0;
                return nullptr;
            }
            lines.emplace_back(line);
            return lines.back() == "XI '1' 'alm_'" ? const_cast<char*>(answer) : nullptr;
        }
    } hugeHost;
    hugeHost.answer = text.text();
    quiet_component component(&hugeHost, "", true);
    sendControl(component, "AckAll", "ack");
    EXPECT_EQ(hugeHost.lines, std::vector<std::string>{"XI '1' 'alm_'"});
    EXPECT_EQ(hugeHost.givenBack, 1);
}

TEST(HugeLoadTextTest, TheEntryRefusesItAndSendsNothing) {
    component_library corvane(NELK_CORVANE_LIBRARY);
    ASSERT_TRUE(corvane.loaded()) << corvane.error();
    for (const std::size_t length : lengths) {
        NELK_NEED_HUGE_TEXT(text, length);
        recording_host host;
        EXPECT_EQ(corvane.create(&host, text.text()), nullptr);
        EXPECT_TRUE(host.lines().empty());
    }
}

TEST(HugeLoadTextTest, CorvaneIgnoresHugeCommandsAndSlotTexts) {
    component_library corvane(NELK_CORVANE_LIBRARY);
    ASSERT_TRUE(corvane.loaded()) << corvane.error();
    NELK_NEED_HUGE_TEXT(text, lengths[1]);
    recording_host host;
    component_pointer component(corvane.create(&host, ""));
    ASSERT_NE(component, nullptr);
    sendCommand(*component, "InfoDriverID=12");
    sendCommand(*component, "Slot=7");
    host.takeLines();
    EXPECT_EQ(component->callback(const_cast<char*>(text.text()), nelk_kind::commandText), nullptr);
    slot_notification slot(12, 7, std::string("x"));
    slot.record()->slotText = text.text();
    component->callback(slot.record(), nelk_kind::slotValue);
    EXPECT_TRUE(host.takeLines().empty());
    sendCommand(*component, "text=still working");
    EXPECT_EQ(host.takeLines(), std::vector<std::string>{"IW 12 'still working' 7 0"});
    component.reset();
    EXPECT_TRUE(host.finish().empty());
}

}  // namespace
