// The host command set: every line byte-exact, and what happens without a host.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "nelk_test_kit.h"
#include "test_component.h"

namespace {

using namespace nelk_test_kit;

struct row {
    const char* basePath;
    std::function<void(test_component&)> send;
    const char* line;
};

TEST(HostCommandsTest, LinesAreByteExact) {
    const row rows[] = {
        {"", [](test_component& c) { c.panelShow("1", "corvane.nelk_ui", ""); }, "PS '1' 'corvane.nelk_ui'"},
        {"layouts", [](test_component& c) { c.panelShow("1", "corvane.nelk_ui", ""); }, "PS '1' 'layouts/corvane.nelk_ui'"},
        {"layouts/", [](test_component& c) { c.panelShow("1", "x.nelk_ui", ""); }, "PS '1' 'layouts//x.nelk_ui'"},
        {"", [](test_component& c) { c.panelShow("2", "x.nelk_ui", "extra text"); }, "PS '2' 'x.nelk_ui' 'extra text'"},
        {"", [](test_component& c) { c.textPut("text", "Camera 1", "1", "umdText"); }, "TP 'text=Camera 1' '1' 'umdText'"},
        {"", [](test_component& c) { c.textPut("text", "", "1", "umdText"); }, "TP 'text=' '1' 'umdText'"},
        {"", [](test_component& c) { c.textPut("text", "it's", "1", "umdText"); }, "TP 'text=it's' '1' 'umdText'"},
        {"", [](test_component& c) { c.infoRegister(12, 7, 7, false); }, "IR 12 7 7"},
        {"", [](test_component& c) { c.infoRegister(12, 0, 0, true); }, "IR 12 0 0 'ADD'"},
        {"", [](test_component& c) { c.infoRegister(INT_MIN, INT_MIN, INT_MIN, true); },
         "IR -2147483648 -2147483648 -2147483648 'ADD'"},
        {"", [](test_component& c) { c.infoUnregister(0); }, "IU 0"},
        {"", [](test_component& c) { c.infoUnregister(INT_MIN); }, "IU -2147483648"},
        {"", [](test_component& c) { c.infoWrite(12, "Camera 1", 7, false); }, "IW 12 'Camera 1' 7 0"},
        {"", [](test_component& c) { c.infoWrite(12, "%1 and %2", 7, true); }, "IW 12 '%1 and %2' 7 1"},
        {"", [](test_component& c) { c.infoWrite(-1, "", -2, false); }, "IW -1 '' -2 0"},
        {"", [](test_component& c) { c.timerStop(-1); }, "ET -1"},
        {"", [](test_component& c) { c.timerStop(INT_MIN); }, "ET -2147483648"},
    };
    for (const row& r : rows) {
        recording_host host;
        test_component component(&host, r.basePath);
        r.send(component);
        EXPECT_EQ(host.lines(), std::vector<std::string>{r.line});
        // Every line the framework builds reads back as a well-formed line, quotes inside included.
        EXPECT_EQ(host.finish(), std::vector<std::string>{}) << r.line;
    }
}

TEST(HostCommandsTest, LongestRegisterLineIsSentWhole) {
    recording_host host;
    test_component component(&host, "");
    component.infoRegister(INT_MIN, INT_MIN, INT_MIN, true);
    ASSERT_EQ(host.lines().size(), 1u);
    EXPECT_EQ(host.lines()[0].size(), 44u);
}

TEST(HostCommandsTest, PanelShowReportsTheWholeAnswer) {
    struct answer { std::intptr_t value; bool shown; };
    const answer answers[] = {{0, false}, {1, true}, {0x100, true}, {-1, true}};
    for (const answer& a : answers) {
        recording_host host;
        host.answerNumber("PS", a.value);
        test_component component(&host, "");
        EXPECT_EQ(component.panelShow("1", "x", ""), a.shown) << a.value;
    }
}

TEST(HostCommandsTest, WithoutAHostNothingIsSent) {
    test_component component(nullptr, "layouts");
    EXPECT_TRUE(component.panelShow("1", "x", ""));
    component.textPut("a", "b", "1", "c");
    component.infoRegister(1, 2, 3, true);
    component.infoUnregister(1);
    component.infoWrite(1, "t", 2, true);
    component.timerStop(1);
    nelk_string result("stale");
    component.textGet("value", "1", "alm_1", result);
    EXPECT_EQ(result.length(), 0);
    EXPECT_EQ(component.controlList("1", "alm_").count(), 0);
    component.alarmHandling = true;
    sendControl(component, "AckAll", "");
}

TEST(ComponentBaseTest, ConstructionKeepsTheLoadTextAndSendsNothing) {
    recording_host host;
    test_component component(&host, "panels");
    EXPECT_STREQ(component.basePath, "panels");
    EXPECT_FALSE(component.alarmHandling);
    EXPECT_TRUE(host.lines().empty());
    test_component nullText(&host, nullptr);
    EXPECT_EQ(nullText.basePath.length(), 0);
}

TEST(ComponentBaseTest, LibrarySignatureMarksTheBuild) {
    const std::string signature(librarySignature);
    const std::string head = "NELK_SIG,name=nelk_script_helper,type=LIB,version=4.8.8.0,date=27/10/2020,author=";
    EXPECT_EQ(signature.compare(0, head.size(), head), 0) << signature;
    EXPECT_GT(signature.size(), head.size());  // an author follows
    librarySignature[0] = 'n';  // writable data, not a constant
    EXPECT_EQ(librarySignature[0], 'n');
    librarySignature[0] = 'N';
}

TEST(ComponentBaseTest, DeletionAnnouncesShutdownLast) {
    recording_host host;
    {
        test_component first(&host, "");
        test_component second(&host, "");
    }
    EXPECT_EQ(host.lines(), (std::vector<std::string>{"AS", "AS"}));
    test_component* silent = new test_component(nullptr, "");
    delete static_cast<nelk_client_callback*>(silent);
}

}  // namespace
