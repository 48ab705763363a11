// Allocations per notification path, counted (not timed): every path makes only what the design
// asks for (the parser's copy of a command text, a kind-3 answer block, the component itself),
// as the floors of bench/floors.h do; the alarm broadcast makes none per control.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "allocation_counter.h"
#include "nelk_test_kit.h"
#include "test_component.h"

namespace {

using nelk_test_kit::component_library;
using nelk_test_kit::control_notification;
using nelk_test_kit::slot_notification;

// A host that allocates nothing, so that the counter sees only the component: it answers "PS"
// with 1, "XI" and "TG" with texts it keeps, and counts lines and give-backs.
class still_host : public nelk_host {
public:
    void* hostSend(const char* text, int kind) override {
        if (kind == nelk_send::giveBack) {
            ++givenBack;
            return nullptr;
        }
        ++lines;
        if (text[0] == 'P' && text[1] == 'S') return reinterpret_cast<void*>(1);
        if (text[0] == 'X' && text[1] == 'I') return answer(controls);
        if (text[0] == 'T' && text[1] == 'G') return answer(reading);
        return nullptr;
    }

    std::string controls = "alm_1";
    std::string reading = "value=1";
    int lines = 0;
    int handedOut = 0;
    int givenBack = 0;

private:
    void* answer(std::string& text) {
        ++handedOut;
        return &text[0];
    }
};

// "alm_1,alm_2,...": a panel's alarm controls as the host lists them.
std::string alarmControls(int count) {
    std::string list;
    for (int i = 1; i <= count; ++i) list += (i > 1 ? ",alm_" : "alm_") + std::to_string(i);
    return list;
}

// Kind 3 as a host sends it, with the give-back of a non-null answer.
void command(nelk_client_callback& component, const char* text) {
    const char* answer = component.callback(const_cast<char*>(text), nelk_kind::commandText);
    if (answer != nullptr) component.callback(const_cast<char*>(answer), nelk_kind::giveBackAnswer);
}

class AllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "the component DLL allocates with its own runtime, which the counter cannot see";
#endif
        ASSERT_TRUE(library.loaded()) << library.error();
        corvane = library.create(&host, "");
        command(*corvane, "InfoDriverID=12");
        command(*corvane, "Slot=7");
    }
    void TearDown() override { delete corvane; }

    // Runs `path` once to warm up, then counts one run.
    static int allocations(const std::function<void()>& path) {
        path();
        allocation_counter counter;
        path();
        return counter.count();
    }

    component_library library{NELK_CORVANE_LIBRARY};
    still_host host;
    nelk_client_callback* corvane = nullptr;
};

TEST_F(AllocationTest, EachCorvanePathMakesOnlyWhatItsFloorMakes) {
    slot_notification shortSlot(12, 7, std::string(19, 's'));
    slot_notification longSlot(12, 7, std::string(200, 'l'));  // far beyond a nelk_string's inline room
    slot_notification otherSlot(12, 8, std::string(19, 's'));
    struct row { const char* path; std::function<void()> run; int allocations; };
    const row rows[] = {
        {"slot, matching, 19-byte text", [&] { corvane->callback(shortSlot.record(), nelk_kind::slotValue); }, 0},
        {"slot, matching, 200-byte text", [&] { corvane->callback(longSlot.record(), nelk_kind::slotValue); }, 0},
        {"slot, not matching", [&] { corvane->callback(otherSlot.record(), nelk_kind::slotValue); }, 0},
        {"timer", [&] { corvane->callback(nelk_test_kit::wordFor(3), nelk_kind::timerFired); }, 0},
        // The parser's copy of the text.
        {"command text", [&] { command(*corvane, "text=Camera 1"); }, 1},
        {"command InfoDriverID", [&] { command(*corvane, "InfoDriverID=12"); }, 1},
        {"command Slot", [&] { command(*corvane, "Slot=7"); }, 1},
        {"query _events", [&] { command(*corvane, "_events"); }, 1},
        // The parser's copy and the answer block.
        {"query return=all", [&] { command(*corvane, "return=all"); }, 2},
        {"query _commands", [&] { command(*corvane, "_commands"); }, 2},
        // The component.
        {"create and delete", [&] { delete library.create(&host, "layouts"); }, 1},
    };
    for (const row& r : rows) EXPECT_EQ(allocations(r.run), r.allocations) << r.path;
}

TEST_F(AllocationTest, AlarmBroadcastMakesNonePerControl) {
    nelk_test_kit::quiet_component component(&host, "", true);
    control_notification acknowledge("AckAll", std::nullopt);
    control_notification action("ActionAll", std::string("alarm=2"));
    // Up to 4 KB the host's list is copied on the stack; beyond, into one block per broadcast,
    // however many controls it names.
    struct row { int controls; int allocations; };
    const row rows[] = {{1, 0}, {10, 0}, {100, 0}, {1000, 1}, {10000, 1}};
    for (const row& r : rows) {
        host.controls = alarmControls(r.controls);
        const int lines = host.lines;
        EXPECT_EQ(allocations([&] { component.callback(acknowledge.record(), nelk_kind::controlEvent); }),
                  r.allocations)
            << r.controls << " controls, acknowledged";
        EXPECT_EQ(host.lines - lines, 2 * (1 + 3 * r.controls)) << "every control read and set, twice";
        EXPECT_EQ(allocations([&] { component.callback(action.record(), nelk_kind::controlEvent); }), r.allocations)
            << r.controls << " controls, state 2";
    }
    EXPECT_EQ(host.givenBack, host.handedOut);
}

TEST_F(AllocationTest, OnlyALineLongerThanItsRoomTakesABlock) {
    test_component component(&host, "");
    const std::string fits(200, 'f');    // "TP 'text=...' '1' 'umdText'" within 255 bytes
    const std::string longer(300, 'l');
    const nelk_string shortValue(fits.c_str());
    const nelk_string longValue(longer.c_str());
    const nelk_stringview property("text");
    const nelk_stringview panel("1");
    const nelk_stringview control("umdText");
    struct row { const char* what; std::function<void()> run; int allocations; };
    const row rows[] = {
        {"text that fits", [&] { component.textPut(property, shortValue, panel, control); }, 0},
        {"text beyond the room", [&] { component.textPut(property, longValue, panel, control); }, 1},
        {"value read back", [&] {
             nelk_string value;
             component.textGet(nelk_stringview("value"), panel, control, value);
         }, 0},
    };
    for (const row& r : rows) EXPECT_EQ(allocations(r.run), r.allocations) << r.what;
}

}  // namespace
