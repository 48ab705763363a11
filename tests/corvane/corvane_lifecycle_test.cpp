// Corvane's creation, deletion and every row of its registration table.
#include "corvane_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace nelk_test_kit;

TEST_F(CorvaneTest, CreationShowsThePanel) {
    struct row { const char* loadText; const char* line; };
    const row rows[] = {
        {"", "PS '1' 'corvane.nelk_ui'"},
        {nullptr, "PS '1' 'corvane.nelk_ui'"},
        {"panels", "PS '1' 'panels/corvane.nelk_ui'"},
        {"layouts/", "PS '1' 'layouts//corvane.nelk_ui'"},
    };
    for (const row& r : rows) {
        component_pointer created(library.create(&host, r.loadText));
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(host.takeLines(), lines{r.line}) << (r.loadText ? r.loadText : "(null)");
        created.reset();
        EXPECT_EQ(host.takeLines(), lines{"AS"});
    }
}

TEST_F(CorvaneTest, PanelRefusedByTheHostChangesNothing) {
    host.answerNumber("PS", 0);
    create();
    EXPECT_EQ(command({"InfoDriverID=12", "Slot=7"}), (lines{"IR 12 0 0", "IR 12 7 7"}));
}

TEST_F(CorvaneTest, TransitionTable) {
    struct row { std::vector<const char*> before; const char* event; lines sent; lines atDeletion; };
    const row rows[] = {
        {{}, "InfoDriverID=12", {"IR 12 0 0"}, {"AS"}},
        {{}, "Slot=7", {"IR 0 7 7"}, {"AS"}},
        {{"InfoDriverID=12"}, "InfoDriverID=20", {"IR 20 0 0"}, {"AS"}},
        {{"InfoDriverID=12"}, "Slot=7", {"IR 12 7 7"}, {"IU 12", "AS"}},
        {{"Slot=7"}, "Slot=8", {"IR 0 8 8"}, {"AS"}},
        {{"Slot=7"}, "InfoDriverID=12", {"IR 12 7 7"}, {"IU 12", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "InfoDriverID=20", {"IU 12", "IR 20 7 7"}, {"IU 20", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "InfoDriverID=12", {"IU 12", "IR 12 7 7"}, {"IU 12", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "Slot=8", {"IU 12", "IR 12 8 8"}, {"IU 12", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "Slot=7", {"IU 12", "IR 12 7 7"}, {"IU 12", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "text=Camera 1", {"IW 12 'Camera 1' 7 0"}, {"IU 12", "AS"}},
        {{}, "text=Camera 1", {}, {"AS"}},
        {{"InfoDriverID=12"}, "text=Camera 1", {}, {"AS"}},
        {{"Slot=7"}, "text=Camera 1", {}, {"AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "InfoDriverID=1000", {}, {"IU 12", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "return=all", {}, {"IU 12", "AS"}},
        {{"InfoDriverID=12", "Slot=7"}, "Unknown=3", {}, {"IU 12", "AS"}},
        {{}, "Slot=0", {}, {"AS"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.event);
        create();
        for (const char* step : r.before) sendCommand(*component, step);
        host.takeLines();
        sendCommand(*component, r.event);
        EXPECT_EQ(host.takeLines(), r.sent);
        component.reset();
        EXPECT_EQ(host.takeLines(), r.atDeletion);
    }
}

TEST_F(CorvaneTest, TextBeforeBindingIsDropped) {
    create();
    EXPECT_EQ(command({"text=Camera 1", "InfoDriverID=12", "Slot=7"}), (lines{"IR 12 0 0", "IR 12 7 7"}));
}

TEST_F(CorvaneTest, TwoComponentsLiveSideBySide) {
    recording_host otherHost;
    component_pointer other(library.create(&otherHost, ""));
    create();
    command({"InfoDriverID=12", "Slot=7"});
    sendCommand(*other, "InfoDriverID=20");
    component.reset();
    EXPECT_EQ(host.takeLines(), (lines{"IU 12", "AS"}));
    EXPECT_EQ(sendCommand(*other, "return=all"), "InfoDriverID=20\nSlot=0");
    other.reset();
    EXPECT_EQ(otherHost.lines(), (lines{"PS '1' 'corvane.nelk_ui'", "IR 20 0 0", "AS"}));
}

TEST_F(CorvaneTest, NullHostWorksAndSendsNothing) {
    component_pointer silent(library.create(nullptr, "panels"));
    ASSERT_NE(silent, nullptr);
    sendCommand(*silent, "InfoDriverID=12");
    sendCommand(*silent, "Slot=7");
    sendCommand(*silent, "text=x");
    sendSlot(*silent, 12, 7, "x");
    sendTimer(*silent, 1);
    EXPECT_EQ(sendCommand(*silent, "return=all"), "InfoDriverID=12\nSlot=7");
    silent.reset();
}

TEST_F(CorvaneTest, ExportsExactlyTheEntry) {
#if defined(_WIN32)
    GTEST_SKIP() << "the DLL's export table is checked on the build machine with objdump";
#endif
    const std::string command = std::string("nm -D --defined-only '") + NELK_CORVANE_LIBRARY + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        symbols.push_back(text.substr(text.rfind(' ') + 1));
    }
    EXPECT_EQ(symbols, std::vector<std::string>{"load_nelk_client_script"});
}

}  // namespace
