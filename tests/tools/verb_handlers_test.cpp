// The verbs carried out on the host model (host/verb_handlers.cpp): "PS" shows a layout and starts
// its timers, "TP"/"TG" set and read properties, "XI" lists controls by prefix, "IR"/"IU"/"IW"
// register and write slots, "ET" stops a timer; what the host answers and what it warns of.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/verb_handlers.h"

namespace {

using namespace nelk_host_tool;

class VerbHandlersTest : public ::testing::Test {
protected:
    VerbHandlersTest() : out(std::tmpfile()), output(out, transcript_style::readable, false) {
        output.listen([this](const nlohmann::ordered_json& event) {
            if (event.value("event", "") == "warning") warnings.push_back(event.value("text", ""));
        });
        // A file of this test's own: the cases run at once in processes of their own.
        layout = testing::TempDir() + "/verb_handlers_panel_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".nelk_ui";
        std::ofstream(layout) << R"({"panel": "P", "timers": [{"id": 4, "interval": 500}],
            "controls": [{"id": "alm_1", "properties": {"value": "0"}}, {"id": "alm_2"}, {"id": "title"}]})";
        source = &model.add("A");
        source->phase = instance_phase::live;
    }
    ~VerbHandlersTest() override {
        std::fclose(out);
        std::remove(layout.c_str());
    }

    // Carries out `text`; the answer as the transcript shows it.
    std::string carryOut(const std::string& text) {
        const std::optional<nelk_test_kit::command_line> line = nelk_test_kit::readLine(text.c_str()).line;
        EXPECT_TRUE(line.has_value()) << text;
        std::string shown;
        void* answer = handlers.carryOut(*source, *line, text, shown);
        if (answer != nullptr && (line->verb == nelk_verb::TG || line->verb == nelk_verb::XI))
            source->rules.received(static_cast<const char*>(answer), nelk_send::giveBack);
        return shown;
    }

    std::FILE* out;
    transcript output;
    host_model model;
    std::vector<std::string> warnings;
    std::vector<std::string> reported;  // "driver/slot text" of each slot event the host owed
    verb_handlers handlers{model, output, [this](instance&, int driver, int slot, const std::string& text) {
                               reported.push_back(std::to_string(driver) + "/" + std::to_string(slot) + " " + text);
                           }};
    std::string layout;
    instance* source = nullptr;
};

TEST_F(VerbHandlersTest, ThePanelItsPropertiesAndItsControls) {
    EXPECT_EQ(carryOut("PS '1' '" + layout + "'"), "1");
    EXPECT_EQ(source->timers.count(4), 1u);  // the panel's timers start as it is shown
    EXPECT_EQ(carryOut("PS '2' '" + layout + "'"), "0");
    carryOut("TP 'value=3' '1' 'alm_1'");
    struct row {
        const char* line;
        const char* shown;
    };
    const row rows[] = {
        {"TG '1' 'alm_1' 'value'", "\"value=3\""},
        {"TG '1' 'alm_2' 'value'", "\"value=\""},
        {"TG '1' 'none' 'value'", "null"},
        {"XI '1' 'alm_'", "\"alm_1,alm_2\""},
        {"XI '1' ''", "\"alm_1,alm_2,title\""},
        {"XI '3' 'alm_'", "\"\""},
    };
    for (const row& each : rows) EXPECT_EQ(carryOut(each.line), each.shown) << each.line;
    carryOut("TP 'text=x' '1' 'made'");  // a control the layout lacks is made, with a warning
    EXPECT_NE(source->panel.find("made"), nullptr);
    EXPECT_EQ(warnings.size(), 4u);  // panel 2 shown, control none read, panel 3 listed, control made
    carryOut("ET 4");
    EXPECT_EQ(source->timers.count(4), 0u);
}

TEST_F(VerbHandlersTest, SlotsRegisteredWrittenAndReported) {
    model.slots().store(12, 3, "held");
    carryOut("IR 12 1 5");  // the slot's current text is reported at once
    carryOut("IW 12 'new' 4 0");
    carryOut("IW 12 'elsewhere' 9 0");  // not registered: stored, not reported
    carryOut("IW 1000 'none' 1 0");     // no such driver: a warning, nothing stored
    EXPECT_EQ(reported, (std::vector<std::string>{"12/3 held", "12/4 new"}));
    EXPECT_EQ(*model.slots().text(12, 9), "elsewhere");
    EXPECT_EQ(model.slots().text(1000, 1), nullptr);
    carryOut("IU 12");
    carryOut("IW 12 'after' 4 0");
    EXPECT_EQ(reported.size(), 2u);
}

}  // namespace
