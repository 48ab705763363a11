// Layouts as host/panel_layout.cpp reads them: good, broken and missing files, what drawing needs,
// and a large one in linear time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "test_files.h"
#include "host/panel_layout.h"

namespace {

using namespace nelk_host_tool;

TEST(PanelLayoutTest, GoodBrokenAndMissingFiles) {
    std::string problem;
    const panel_layout good = loadLayout(
        writeFile("good.nelk_ui", R"({"controls":[{"id":"b","type":"label","properties":{"z":"1","a":2}},{"id":"a"}]})"),
        problem);
    EXPECT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(good.controls().size(), 2u);
    EXPECT_EQ(good.controls()[0].id, "b");  // layout order kept
    EXPECT_EQ(good.controls()[0].properties[0].first, "z");  // property order kept
    EXPECT_EQ(*good.controls()[0].find("a"), "2");

    struct row { std::string content; std::size_t controls; const char* problem; };
    const row rows[] = {
        {"not json", 0, "not valid JSON"},
        {R"({"panel":"x"})", 0, "no \"controls\" list"},
        {R"({"controls":[{"type":"label"},{"id":"ok"}]})", 1, "without a text \"id\""},
        {R"({"controls":[{"id":"a"},{"id":"a"}]})", 1, "twice"},
        {R"({"controls":[{"id":"a","properties":)" + std::string(40, '[') + std::string(40, ']') + "}]}", 0,
         "nests deeper than 32 levels"},
        {R"({"controls":)" + std::string(100000, '[') + std::string(100000, ']') + "}", 0, "nests deeper than 32 levels"},
        {R"({"controls":[{"id":"a","properties":{"text":"[not nesting]{"}}]})", 1, ""},
    };
    for (const row& r : rows) {
        const panel_layout layout = loadLayout(writeFile("broken.nelk_ui", r.content), problem);
        EXPECT_EQ(layout.controls().size(), r.controls) << r.content;
        EXPECT_NE(problem.find(r.problem), std::string::npos) << problem;
    }
    const panel_layout missing = loadLayout(testing::TempDir() + "no-such-file.nelk_ui", problem);
    EXPECT_TRUE(missing.controls().empty());
    EXPECT_NE(problem.find("cannot open"), std::string::npos);
    const panel_layout folder = loadLayout(testing::TempDir(), problem);
    EXPECT_TRUE(folder.controls().empty());
    EXPECT_NE(problem.find("is not a file"), std::string::npos) << problem;
}

TEST(PanelLayoutTest, ReadsWhatDrawingNeeds) {
    std::string problem;
    const panel_layout layout = loadLayout(writeFile("drawn.nelk_ui", R"({"panel":"Alarms","width":320,"height":200,
        "controls":[{"id":"AckAll","type":"button","command":"ack","x":10,"y":20,"width":80,"height":24,
                     "properties":{"text":"Ack all"}},
                    {"id":"alm_1","type":"alarm","x":10},
                    {"id":"name","type":"text"}]})"), problem);
    EXPECT_TRUE(problem.empty()) << problem;
    EXPECT_EQ(layout.title, "Alarms");
    EXPECT_EQ(layout.width, 320);
    EXPECT_EQ(layout.height, 200);
    ASSERT_EQ(layout.controls().size(), 3u);
    const panel_control& button = layout.controls()[0];
    EXPECT_EQ(button.command, "ack");
    ASSERT_TRUE(button.geometry);
    EXPECT_EQ(button.geometry->y, 20);
    EXPECT_EQ(button.geometry->width, 80);
    EXPECT_FALSE(layout.controls()[1].geometry);  // x without y: laid out in the flow
    EXPECT_EQ(layout.controls()[2].type, "text");
}

// Loading is linear in the controls: a quadratic loader takes minutes here. The bound is generous,
// for loaded machines and emulators; the memcheck stage leaves it out (valgrind alone would take it).
TEST(PanelLayoutScaleTest, AHundredThousandControlsLoadInLinearTime) {
    std::string content = R"({"controls":[)";
    for (int i = 0; i < 100000; ++i) content += std::string(i ? "," : "") + R"({"id":"c)" + std::to_string(i) + R"(","properties":{"text":"x"}})";
    content += "]}";
    const std::string path = writeFile("many.nelk_ui", content);
    std::string problem;
    const auto started = std::chrono::steady_clock::now();
    const panel_layout layout = loadLayout(path, problem);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(layout.controls().size(), 100000u);
    EXPECT_NE(layout.find("c99999"), nullptr);
    // Printed, and bounded only to catch a reader gone quadratic or hanging, not to judge speed.
    std::printf("100000 controls read in %.3f s\n", seconds);
    EXPECT_LT(seconds, 60.0);
}

}  // namespace
