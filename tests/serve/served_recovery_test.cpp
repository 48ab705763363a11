// What serve does when a replay cannot give the session back whole: a failure that comes back at
// every tick of the clock does not loop (the clock is paused), and a replay that fails keeps the
// instances made before the request that failed, saying which and why.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include "served_process.h"

namespace {

namespace fs = std::filesystem;

nlohmann::json getJson(httplib::Client& client, const char* path) {
    auto answer = client.Get(path);
    if (!answer || answer->status != 200) return nlohmann::json();
    return nlohmann::json::parse(answer->body, nullptr, false);
}

// How many lines of the transcript (its events but the panels' states) hold `text`.
int transcriptHolds(httplib::Client& client, const std::string& text) {
    int count = 0;
    for (const auto& event : getJson(client, "/api/transcript")) {
        if (event.value("event", "") != "state") count += event.dump().find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

std::vector<std::string> liveInstances(const nlohmann::json& state) {
    std::vector<std::string> names;
    for (const auto& each : state.value("instances", nlohmann::json::array()))
        if (each.value("phase", "") == "live") names.push_back(each.value("name", ""));
    return names;
}

TEST(ServedRecoveryTest, ACrashInATimersEventPausesTheClockInsteadOfReplayingForEver) {
    nelk_tests::served_process served;
    ASSERT_NO_FATAL_FAILURE(served.start({"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve", "--timeout", "2"}));
    httplib::Client client = served.client();
    auto loaded = client.Post("/api/statements", "load T " NELK_CLOCK_CRASHING_LIBRARY "\nclock run", "text/plain");
    ASSERT_TRUE(loaded);
    // The timer fires 100 ms later, the worker crashes and the session comes back; bounded
    // generously, to catch a clock that never fires.
    nlohmann::json state;
    for (int tries = 0; tries < 200 && !state.contains("recovery"); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        state = getJson(client, "/api/state");
    }
    ASSERT_TRUE(state.contains("recovery")) << state.dump();
    EXPECT_NE(state["recovery"].value("message", "").find("the clock is paused"), std::string::npos) << state.dump();
    // A second of the timer's period ten times over: no new crash, no new replay.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    state = getJson(client, "/api/state");
    EXPECT_FALSE(state["clock"].value("running", true)) << state.dump();
    EXPECT_EQ(transcriptHolds(client, "a new worker replayed"), 1);
    EXPECT_EQ(transcriptHolds(client, "crashed with signal 11"), 1);
    const std::vector<std::string> names = liveInstances(state);
    EXPECT_NE(std::find(names.begin(), names.end(), "T"), names.end()) << state.dump();
    double seconds = 0;
    served.stop(seconds);
}

TEST(ServedRecoveryTest, AReplayThatFailsKeepsWhatCameBeforeAndSaysWhy) {
    const fs::path marker = fs::temp_directory_path() / ("nelk-loaded-once-" + std::to_string(getpid()));
    fs::remove(marker);
    nelk_tests::served_process served;
    ASSERT_NO_FATAL_FAILURE(served.start({"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve", "--timeout", "2"}));
    httplib::Client client = served.client();
    auto loaded = client.Post("/api/statements", "load R " NELK_LOADED_ONCE_LIBRARY " \"" + marker.string() + "\"", "text/plain");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->status, 200);
    // R crashes; the replay crashes at R's creation (its file is there now): the demo's A and B
    // stay, R does not, and the transcript says where the replay failed.
    auto crashed = client.Post("/api/statements", "number R 1", "text/plain");
    ASSERT_TRUE(crashed);
    const nlohmann::json state = getJson(client, "/api/state");
    const std::vector<std::string> names = liveInstances(state);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B"})) << state.dump();
    EXPECT_EQ(transcriptHolds(client, "the replay failed at request"), 1) << getJson(client, "/api/transcript").dump();
    auto saved = client.Get("/api/scenario");
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->body.find("load A"), std::string::npos) << saved->body;
    double seconds = 0;
    served.stop(seconds);
    fs::remove(marker);
}

TEST(ServedRecoveryTest, ADeletionThatHangsAtTheEndIsNamedAndTheExitSaysSo) {
    nelk_tests::served_process served;
    ASSERT_NO_FATAL_FAILURE(served.start({"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve"}));
    httplib::Client client = served.client();
    auto loaded = client.Post("/api/statements", "load H " NELK_DELETION_HANGING_LIBRARY, "text/plain");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->status, 200);
    // SIGTERM: the instances are deleted as a host does; H's deletion never returns. What serve
    // prints until it ends (it ends the worker after its grace; the suite's timeout catches a
    // serve that never does).
    kill(served.pid, SIGTERM);
    std::string printed;
    char line[4096];
    while (std::fgets(line, sizeof line, served.output) != nullptr) printed += line;
    double seconds = 0;
    const int status = served.stop(seconds);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_NE(printed.find("the component H hung while the instances were deleted at the end"), std::string::npos) << printed;
}

}  // namespace

namespace {

TEST(ServedWatchdogTest, TheServersOwnHandlingOfAFloodIsNotTheComponentsTime) {
    // A component that sends 300 000 lines, or one line of 40 MB, does so well inside a second
    // of its own time; carrying them out takes the server longer, and that is no hang of its.
    nelk_tests::served_process served;
    ASSERT_NO_FATAL_FAILURE(served.start({"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve", "--timeout", "2"}));
    httplib::Client client = served.client();
    client.set_read_timeout(120, 0);  // generous: a hang would still end at the watchdog
    for (const char* statement : {"command F Lines=300000", "command F Long=40000000"}) {
        SCOPED_TRACE(statement);
        const std::string text = std::string("load F " NELK_FLOODING_LIBRARY "\n") + statement + "\ndelete F";
        auto answered = client.Post("/api/statements", text, "text/plain");
        ASSERT_TRUE(answered);
        const nlohmann::json result = nlohmann::json::parse(answered->body, nullptr, false);
        EXPECT_TRUE(result.value("ok", false)) << answered->body.substr(0, 2000);
        EXPECT_EQ(answered->body.find("hung"), std::string::npos) << answered->body.substr(0, 2000);
    }
    double seconds = 0;
    served.stop(seconds);
}

}  // namespace

namespace {

TEST(ServedEndTest, AHelperThatLeftTheWorkersGroupIsEndedAndSaid) {
    nelk_tests::served_process served;
    served.errorsTo = (std::filesystem::temp_directory_path() / ("serve-helper-" + std::to_string(getpid()))).string();
    ASSERT_NO_FATAL_FAILURE(served.start({"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve"}));
    httplib::Client client = served.client();
    auto made = client.Post("/api/statements", "load H " NELK_SESSION_LEADER_LIBRARY "\ncommand H \"Helper=1\"", "text/plain");
    ASSERT_TRUE(made);
    EXPECT_NE(made->body.find("\"ok\":true"), std::string::npos) << made->body;
    double seconds = 0;
    const int status = served.stop(seconds);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    std::ifstream errors(served.errorsTo);
    const std::string said((std::istreambuf_iterator<char>(errors)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("a process a component started outlived its worker and was ended"), std::string::npos) << said;
    std::filesystem::remove(served.errorsTo);
}

}  // namespace
