// The dispatcher: kinds 1 to 7 and the rest, answer blocks, null records, nested calls.
#include <gtest/gtest.h>

#include <cstring>

#include "allocation_counter.h"
#include "nelk_test_kit.h"
#include "test_component.h"

namespace {

using namespace nelk_test_kit;

class DispatcherTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    recording_host host;
    test_component component{&host, "base"};
};

TEST_F(DispatcherTest, KindsOutsideOneToSevenCallNothing) {
    for (int kind : {0, 8, -1, 100, -2147483647 - 1}) {
        EXPECT_EQ(component.callback(const_cast<char*>("Slot=1"), kind), nullptr) << kind;
    }
    EXPECT_TRUE(component.calls.empty());
    EXPECT_TRUE(host.lines().empty());
}

TEST_F(DispatcherTest, EachKindReachesItsHook) {
    slot_notification slot(12, 7, "Camera 1");
    EXPECT_EQ(component.callback(slot.record(), 1), nullptr);
    control_notification control("button1", "press=down");
    EXPECT_EQ(component.callback(control.record(), 2), nullptr);
    EXPECT_EQ(component.callback(const_cast<char*>("text=a.b"), 3), nullptr);
    EXPECT_EQ(component.callback(wordFor(1), 4), nullptr);
    int payload = 0;
    EXPECT_EQ(component.callback(&payload, 6), nullptr);
    EXPECT_EQ(component.callback(wordFor(-5), 7), nullptr);
    EXPECT_EQ(component.calls, (std::vector<std::string>{"slot 12 7 Camera 1", "button button1 press=down",
                                                          "command text=a.b", "timer 1", "data", "number -5"}));
}

TEST_F(DispatcherTest, NumberHookWritesStayInsideTheCall) {
    int word = 9;
    component.callback(wordFor(word), 7);
    component.callback(wordFor(word), 7);
    EXPECT_EQ(component.calls, (std::vector<std::string>{"number 9", "number 9"}));
}

TEST_F(DispatcherTest, TimerIdsAndNumbersKeepTheirSign) {
    for (int value : {0, -3, 2147483647, -2147483647 - 1}) {
        component.calls.clear();
        sendTimer(component, value);
        sendNumber(component, value);
        EXPECT_EQ(component.calls, (std::vector<std::string>{"timer " + std::to_string(value),
                                                              "number " + std::to_string(value)}));
    }
}

TEST_F(DispatcherTest, AnswerIsANewBlockOfLengthPlusOne) {
    component.answer = "abc";
    allocation_counter counter;
    const char* answer = component.callback(const_cast<char*>("x"), 3);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(std::memcmp(answer, "abc", 4), 0);
    EXPECT_EQ(counter.lastSize(), 4u);
    EXPECT_EQ(component.callback(const_cast<char*>(answer), 5), nullptr);
}

TEST_F(DispatcherTest, EmptyAnswerIsNull) {
    component.answer = "";
    EXPECT_EQ(component.callback(const_cast<char*>("x"), 3), nullptr);
}

TEST_F(DispatcherTest, AnswersLiveUntilGivenBackInAnyOrder) {
    component.answer = "first";
    const char* first = component.callback(const_cast<char*>("a"), 3);
    component.answer = "second";
    const char* second = component.callback(const_cast<char*>("b"), 3);
    sendTimer(component, 1);
    EXPECT_STREQ(first, "first");
    EXPECT_STREQ(second, "second");
    component.callback(const_cast<char*>(second), 5);
    component.callback(const_cast<char*>(first), 5);
    EXPECT_EQ(component.callback(nullptr, 5), nullptr);
}

TEST_F(DispatcherTest, NoMemoryForTheAnswerGivesNull) {
    component.answer = "an answer long enough to need the heap for its copy";
    allocation_counter::failNothrowAllocations(true);
    const char* answer = component.callback(const_cast<char*>(""), 3);
    allocation_counter::failNothrowAllocations(false);
    EXPECT_EQ(answer, nullptr);
}

TEST_F(DispatcherTest, NullAndEmptyCommandTextsReachTheHookEmpty) {
    component.callback(nullptr, 3);
    component.callback(const_cast<char*>(""), 3);
    EXPECT_EQ(component.calls, (std::vector<std::string>{"command =", "command ="}));
}

TEST_F(DispatcherTest, NullRecordsAreIgnored) {
    EXPECT_EQ(component.callback(nullptr, 1), nullptr);
    EXPECT_EQ(component.callback(nullptr, 2), nullptr);
    EXPECT_TRUE(component.calls.empty());
}

TEST_F(DispatcherTest, NullTextsInsideRecordsReadAsEmpty) {
    sendSlot(component, 1, 2, std::nullopt);
    sendControl(component, std::nullopt, std::nullopt);
    sendControl(component, "id", "name");
    EXPECT_EQ(component.calls, (std::vector<std::string>{"slot 1 2 ", "button  =", "button id name="}));
}

TEST_F(DispatcherTest, AlarmGroupControlsReachTheHookWhileHandlingIsOff) {
    EXPECT_FALSE(component.alarmHandling);
    sendControl(component, "ActionAll", "alarm=1");
    sendControl(component, "AckAll", "");
    EXPECT_EQ(component.calls, (std::vector<std::string>{"button ActionAll alarm=1", "button AckAll ="}));
    EXPECT_TRUE(host.lines().empty());
}

// A host that calls back into the component from inside hostSend, as a host may.
class nesting_host : public recording_host {
public:
    void* hostSend(const char* text, int kind) override {
        void* result = recording_host::hostSend(text, kind);
        if (kind == 0 && std::string(text) == "AS") component = nullptr;  // no events once deletion began
        if (component != nullptr && kind == 0 && depth == 0) {
            ++depth;
            nested = sendCommand(*component, "inner=1");
            --depth;
        }
        return result;
    }
    nelk_client_callback* component = nullptr;
    int depth = 0;
    std::optional<std::string> nested;
};

class echo_component : public test_component {
public:
    using test_component::test_component;
    nelk_string commandCallback(commandEvent& event) override {
        nelk_string name = event.commandName();
        timerStop(1);  // a line from inside the hook, answered by a nested call
        return "answer for " + name + " value " + event.commandValue();
    }
};

// Records built byte by byte as the host builds them: little-endian words at the host's offsets
// (pointer-wide where pointers are wider), read by the component as the fields they are. Run in
// the 32-bit build, this is the host's own layout at run time.
TEST_F(DispatcherTest, HostRecordsAreReadAtTheHostsOffsets) {
    const std::size_t pointer = sizeof(void*);
    auto put = [](unsigned char* at, const void* value, std::size_t size) { std::memcpy(at, value, size); };
    alignas(void*) unsigned char slot[64] = {};
    const int device = 12;
    const int index = 7;
    const char* text = "Camera 1";
    put(slot + 0, &device, 4);
    put(slot + 8, &index, 4);
    put(slot + 16, &text, pointer);
    component.callback(slot, 1);

    parsedCommand command("alarm=1");
    alignas(void*) unsigned char control[64] = {};
    const char* id = "ActionAll";
    const parsedCommand* commandPointer = &command;
    const std::size_t idAt = pointer == 4 ? 12 : 16;
    put(control + idAt, &id, pointer);
    put(control + idAt + pointer, &commandPointer, pointer);
    component.callback(control, 2);
    EXPECT_EQ(component.calls, (std::vector<std::string>{"slot 12 7 Camera 1", "button ActionAll alarm=1"}));
    if (pointer == 4) {
        EXPECT_EQ(sizeof(parsedCommand), 148u);
        EXPECT_EQ(reinterpret_cast<const unsigned char*>(&command.value) - reinterpret_cast<const unsigned char*>(&command), 132);
        EXPECT_EQ(reinterpret_cast<const unsigned char*>(&command.buffer) - reinterpret_cast<const unsigned char*>(&command), 144);
    }
}

TEST(DispatcherNestingTest, NestedCallsAreIndependent) {
    nesting_host host;
    echo_component component(&host, "");
    host.component = &component;
    EXPECT_EQ(sendCommand(component, "outer=2"), "answer for outer value 2");
    EXPECT_EQ(host.nested, "answer for inner value 1");
    EXPECT_TRUE(host.finish().empty());
}

}  // namespace
