// Corvane's commands, queries, slot notifications and timers, through the loaded library.
#include "corvane_fixture.h"

#include <climits>

namespace {

using namespace nelk_test_kit;

TEST_F(CorvaneTest, RoadOfOneTextCommand) {
    create();
    command({"InfoDriverID=12", "Slot=7"});
    EXPECT_EQ(sendCommand(*component, "text=Camera 1"), std::nullopt);
    EXPECT_EQ(host.takeLines(), lines{"IW 12 'Camera 1' 7 0"});
    sendSlot(*component, 12, 7, "Camera 1");
    EXPECT_EQ(host.takeLines(), lines{"TP 'text=Camera 1' '1' 'umdText'"});
}

TEST_F(CorvaneTest, RangesAndValues) {
    struct row { const char* text; lines sent; };
    const row rows[] = {
        {"InfoDriverID=0", {}}, {"InfoDriverID=1", {"IR 1 0 0"}}, {"InfoDriverID=999", {"IR 999 0 0"}},
        {"InfoDriverID=1000", {}}, {"InfoDriverID=-5", {}}, {"InfoDriverID=+5", {"IR 5 0 0"}},
        {"InfoDriverID=abc", {}}, {"InfoDriverID=", {}}, {"InfoDriverID", {}},
        {"InfoDriverID=driver 12", {"IR 12 0 0"}}, {"InfoDriverID=4294967308", {}},
        {"InfoDriverID=2147483648", {}}, {"InfoDriverID=12.5", {"IR 12 0 0"}},
        {"Slot=0", {}}, {"Slot=1", {"IR 0 1 1"}}, {"Slot=4096", {"IR 0 4096 4096"}}, {"Slot=4097", {}},
        {"Slot=-1", {}}, {"Slot=x7", {"IR 0 7 7"}}, {"Slot=4294967297", {}},
        {"Slot.x=5", {"IR 0 5 5"}}, {"Slot.a.b=6", {"IR 0 6 6"}}, {"=5", {}}, {"slot=5", {}},
        {"Slot =5", {}}, {"", {}},
    };
    for (const row& r : rows) {
        create();
        EXPECT_EQ(sendCommand(*component, r.text), std::nullopt) << r.text;
        EXPECT_EQ(host.takeLines(), r.sent) << r.text;
    }
}

TEST_F(CorvaneTest, TextValuesArePassedOnUnchanged) {
    struct row { const char* text; const char* line; };
    const row rows[] = {
        {"text=Camera 1", "IW 12 'Camera 1' 7 0"}, {"text", "IW 12 '' 7 0"}, {"text=", "IW 12 '' 7 0"},
        {"text=it's", "IW 12 'it's' 7 0"}, {"text=%1 %2", "IW 12 '%1 %2' 7 0"},
        {"text=a.b=c", "IW 12 'a.b=c' 7 0"}, {"text.part=v", "IW 12 'v' 7 0"},
    };
    create();
    command({"InfoDriverID=12", "Slot=7"});
    for (const row& r : rows) {
        sendCommand(*component, r.text);
        EXPECT_EQ(host.takeLines(), lines{r.line}) << r.text;
    }
}

TEST_F(CorvaneTest, Queries) {
    create();
    struct row { const char* text; std::optional<std::string> answer; };
    const row fresh[] = {
        {"return=all", std::string("InfoDriverID=0\nSlot=0")}, {"return=x", std::nullopt}, {"return", std::nullopt},
        {"return=All", std::nullopt}, {"_events", std::nullopt},
        {"_commands", std::string("text=[value]\nInfoDriverID=[value]\nSlot=[value]")},
        {"_commands=x", std::string("text=[value]\nInfoDriverID=[value]\nSlot=[value]")},
        {"unknown", std::nullopt}, {nullptr, std::nullopt},
    };
    for (const row& r : fresh) EXPECT_EQ(sendCommand(*component, r.text), r.answer) << (r.text ? r.text : "(null)");
    command({"InfoDriverID=12", "Slot=7"});
    EXPECT_EQ(sendCommand(*component, "return=all"), "InfoDriverID=12\nSlot=7");
    EXPECT_TRUE(host.takeLines().empty());
}

TEST_F(CorvaneTest, SlotNotifications) {
    struct row { std::vector<const char*> setup; int device; int index; std::optional<std::string> text; lines sent; };
    const row rows[] = {
        {{"InfoDriverID=12", "Slot=7"}, 12, 7, std::string("Camera 1"), {"TP 'text=Camera 1' '1' 'umdText'"}},
        {{"InfoDriverID=12", "Slot=7"}, 12, 8, std::string("Camera 1"), {}},
        {{"InfoDriverID=12", "Slot=7"}, 13, 7, std::string("Camera 1"), {}},
        {{"InfoDriverID=12", "Slot=7"}, 12, 7, std::string(""), {"TP 'text=' '1' 'umdText'"}},
        {{"InfoDriverID=12", "Slot=7"}, 12, 7, std::nullopt, {"TP 'text=' '1' 'umdText'"}},
        {{"InfoDriverID=12", "Slot=7"}, 12, 7, std::string("it's %1"), {"TP 'text=it's %1' '1' 'umdText'"}},
        {{"InfoDriverID=12"}, 12, 0, std::string("x"), {"TP 'text=x' '1' 'umdText'"}},
        {{}, 0, 0, std::string("y"), {"TP 'text=y' '1' 'umdText'"}},
        {{}, 0, 1, std::string("y"), {}},
    };
    for (const row& r : rows) {
        create();
        for (const char* step : r.setup) sendCommand(*component, step);
        host.takeLines();
        sendSlot(*component, r.device, r.index, r.text);
        EXPECT_EQ(host.takeLines(), r.sent) << r.device << "/" << r.index;
    }
}

TEST_F(CorvaneTest, EveryMatchingNotificationIsShownEvenWhenUnchanged) {
    create();
    command({"InfoDriverID=12", "Slot=7"});
    sendSlot(*component, 12, 7, "same");
    sendSlot(*component, 12, 7, "same");
    EXPECT_EQ(host.takeLines().size(), 2u);
}

TEST_F(CorvaneTest, TimersAreStoppedAndOtherKindsChangeNothing) {
    create();
    command({"InfoDriverID=12", "Slot=7"});
    for (int id : {1, 0, -3, INT_MAX, INT_MIN}) {
        sendTimer(*component, id);
        EXPECT_EQ(host.takeLines(), lines{"ET " + std::to_string(id)});
    }
    sendControl(*component, "ActionAll", "alarm=1");
    sendControl(*component, "AckAll", std::nullopt);
    sendNumber(*component, 5);
    int payload = 0;
    component->callback(&payload, 6);
    component->callback(nullptr, 6);
    for (int kind : {0, 8, -1}) component->callback(nullptr, kind);
    EXPECT_TRUE(host.takeLines().empty());
    EXPECT_EQ(sendCommand(*component, "return=all"), "InfoDriverID=12\nSlot=7");
}

}  // namespace
