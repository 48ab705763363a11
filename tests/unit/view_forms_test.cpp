// The view forms of the host operations and of the event accessors: the same bytes as the
// nelk_string forms, also where a line outgrows its room or an answer its stack copy.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "debugger_output_capture.h"
#include "nelk_test_kit.h"
#include "test_component.h"

namespace {

using namespace nelk_test_kit;
using lines = std::vector<std::string>;
using view = nelk_stringview;

// What one form of an operation sends, with the host's answers scripted by `script`.
lines sent(const char* basePath, const std::function<void(recording_host&)>& script,
           const std::function<void(test_component&)>& operation) {
    recording_host host;
    script(host);
    test_component component(&host, basePath);
    operation(component);
    EXPECT_TRUE(host.finish().empty());
    return host.lines();
}

TEST(ViewFormsTest, SendTheLinesOfTheStringForms) {
    const std::string longText(300, 'x');  // beyond a line's 255 bytes of room
    const nelk_string longValue(longText.c_str());
    const auto none = [](recording_host&) {};
    struct row {
        const char* what;
        const char* basePath;
        std::function<void(test_component&)> strings;
        std::function<void(test_component&)> views;
    };
    const row rows[] = {
        {"PS", "", [](test_component& c) { c.panelShow("1", "corvane.nelk_ui", ""); },
         [](test_component& c) { c.panelShow(view("1"), view("corvane.nelk_ui"), view()); }},
        {"PS with path and extra", "layouts/",
         [](test_component& c) { c.panelShow("2", "x.nelk_ui", "it's"); },
         [](test_component& c) { c.panelShow(view("2"), view("x.nelk_ui"), view("it's")); }},
        {"TP", "", [](test_component& c) { c.textPut("text", "Camera 1", "1", "umdText"); },
         [](test_component& c) { c.textPut(view("text"), view("Camera 1"), view("1"), view("umdText")); }},
        {"TP, long value", "", [&](test_component& c) { c.textPut("text", longValue, "1", "umdText"); },
         [&](test_component& c) { c.textPut(view("text"), longValue, view("1"), view("umdText")); }},
        {"IW, markers", "", [](test_component& c) { c.infoWrite(-12, "%1 and %2", 7, true); },
         [](test_component& c) { c.infoWrite(-12, view("%1 and %2"), 7, true); }},
        {"IW, long text", "", [&](test_component& c) { c.infoWrite(999, longValue, 4096, false); },
         [&](test_component& c) { c.infoWrite(999, longValue, 4096, false); }},
        {"alarm broadcast", "", [](test_component& c) { c.alarmBroadcast("ack"); },
         [](test_component& c) { c.alarmBroadcast(view("ack")); }},
    };
    for (const row& r : rows) {
        const lines expected = sent(r.basePath, [](recording_host& host) {
            host.answerText("XI", "alm_1");
            host.answerText("TG", "value=1");
        }, r.strings);
        ASSERT_FALSE(expected.empty()) << r.what;
        EXPECT_EQ(sent(r.basePath, [](recording_host& host) {
            host.answerText("XI", "alm_1");
            host.answerText("TG", "value=1");
        }, r.views), expected) << r.what;
    }
    EXPECT_EQ(sent("", none, [&](test_component& c) { c.textPut(view("text"), longValue, view("1"), view("u")); }),
              lines{"TP 'text=" + longText + "' '1' 'u'"});
}

TEST(ViewFormsTest, TextGetGivesTheStringFormsResults) {
    const std::string longValue(100, 'v');  // a value beyond nelk_string's inline room
    struct row { const char* property; std::string answer; std::string result; };
    const row rows[] = {
        {"value", "value=3", "3"}, {"value", "value=" + longValue, longValue}, {"value", "Value=3", ""},
        {"value", "value", ""},    {"all", "text=x,value=3", "text=x,value=3"},
    };
    for (const row& r : rows) {
        std::string traces[2];
        for (const bool viewForm : {false, true}) {
            recording_host host;
            host.answerText("TG", r.answer);
            test_component component(&host, "");
            nelk_string result("stale");
            debugger_output_capture capture;
            if (viewForm) {
                component.textGet(view(r.property), view("1"), view("alm_1"), result);
            } else {
                component.textGet(r.property, "1", "alm_1", result);
            }
            traces[viewForm ? 1 : 0] = capture.text();
            EXPECT_EQ(std::string(result), r.result) << r.answer << (viewForm ? " (views)" : "");
            EXPECT_EQ(host.lines(), lines{std::string("TG '1' 'alm_1' '") + r.property + "'"});
            EXPECT_TRUE(host.finish().empty());
        }
        EXPECT_EQ(traces[1], traces[0]) << r.answer;
        EXPECT_EQ(traces[0].empty(), r.result != "" || r.answer == "value") << r.answer;
    }
}

// Beyond 4 KB the host's list is copied to the heap, and a control name longer than a line's
// room makes the line grow and keep its head: every line must still be exact, in order.
TEST(ViewFormsTest, AlarmBroadcastOverALongListAndALongName) {
    const std::string longName = "alm_" + std::string(400, 'n');
    std::string list;
    std::vector<std::string> names;
    for (int i = 1; i <= 700; ++i) {
        names.push_back(i == 350 ? longName : "alm_" + std::to_string(i));
        list += (i > 1 ? "," : "") + names.back();
    }
    ASSERT_GT(list.size(), 4096u);
    recording_host host;
    host.answerText("XI", list);
    host.answerText("TG", "value=7");
    test_component component(&host, "");
    component.alarmBroadcast("ack");
    lines expected{"XI '1' 'alm_'"};
    for (const std::string& name : names) {
        expected.push_back("TP 'alarm=ack' '1' '" + name + "'");
        expected.push_back("TG '1' '" + name + "' 'value'");
        expected.push_back("TP 'value=4' '1' '" + name + "'");
    }
    EXPECT_EQ(host.lines(), expected);
    EXPECT_TRUE(host.finish().empty());
}

// The hook that reads the record's texts in place, for the views' side of the mends.
class view_reader : public test_component {
public:
    using test_component::test_component;
    void buttonCallback(buttonEvent& event) override {
        seen = std::string(event.controlIdView().data(), static_cast<std::size_t>(event.controlIdView().length())) +
               "|" + std::string(event.commandNameView().data()) + "|" + std::string(event.commandValueView().data());
    }
    int slotCallback(slotEvent& event) override {
        seen = std::to_string(event.slotTextView().length()) + ":" + event.slotTextView().data();
        return 0;
    }
    nelk_string commandCallback(commandEvent& event) override {
        seen = std::string(event.commandNameView().data()) + "|" + event.commandValueView().data();
        return nelk_string();
    }
    std::string seen;
};

TEST(ViewFormsTest, EventViewsReadNullTextsAsEmpty) {
    view_reader component(nullptr, "");
    struct row { const char* what; std::function<void()> deliver; const char* seen; };
    const row rows[] = {
        {"slot text", [&] { sendSlot(component, 1, 2, std::string("Camera 1")); }, "8:Camera 1"},
        {"null slot text", [&] { sendSlot(component, 1, 2, std::nullopt); }, "0:"},
        {"control event", [&] { sendControl(component, std::string("b1"), std::string("press=down.x")); },
         "b1|press|down.x"},
        {"null control and command", [&] { sendControl(component, std::nullopt, std::nullopt); }, "||"},
        {"command", [&] { sendCommand(component, "Slot.x=5"); }, "Slot|5"},
        {"null command", [&] { sendCommand(component, nullptr); }, "|"},
    };
    for (const row& r : rows) {
        component.seen = "not called";
        r.deliver();
        EXPECT_EQ(component.seen, r.seen) << r.what;
    }
}

}  // namespace
