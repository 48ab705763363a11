// serve's clock is the host's clock: the ticks it fires in real time are in the session it saves,
// as "advance" statements, so that a served session with timers replays green with `run`.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "served_process.h"

namespace {

namespace fs = std::filesystem;

// The text of the countdown's label in the served state, "" before it shows.
std::string remaining(const httplib::Client& client) {
    auto state = const_cast<httplib::Client&>(client).Get("/api/state");
    if (!state || state->status != 200) return "";
    const nlohmann::json parsed = nlohmann::json::parse(state->body, nullptr, false);
    if (!parsed.contains("instances")) return "";
    for (const auto& each : parsed["instances"])
        for (const auto& control : each.value("controls", nlohmann::json::array()))
            if (control.value("id", "") == "remaining") return control["properties"].value("text", "");
    return "";
}

// Waits until the label reads `text`; bounded generously, to catch a clock that never runs.
bool waitFor(const httplib::Client& client, const std::string& text) {
    for (int tries = 0; tries < 600; ++tries) {
        if (remaining(client) == text) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int runScenario(const std::string& file) {
    const std::string command = std::string(NELK_HOST_PROGRAM) + " --quiet run --strict '" + file + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ServedClockTest, ASessionWithTimersSavedFromServeReplaysGreen) {
    const fs::path folder = fs::temp_directory_path() / ("nelk-served-clock-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path start = folder / "start.nelk";
    std::ofstream(start) << "load C\n";
    nelk_tests::served_process served;
    ASSERT_NO_FATAL_FAILURE(served.start({"--quiet", "--library", NELK_COUNTDOWN_LIBRARY, "serve", start.string()}));
    httplib::Client client = served.client();
    // Counted down by the clock alone (timer 1 every 100 ms), stopped at 0, and started again.
    EXPECT_TRUE(waitFor(client, "0")) << "the label reads \"" << remaining(client) << "\"";
    auto started = client.Post("/api/statements", "control C Start \"From=3\"", "text/plain");
    ASSERT_TRUE(started);
    EXPECT_EQ(started->status, 200);
    EXPECT_TRUE(waitFor(client, "0"));
    auto saved = client.Get("/api/scenario");
    ASSERT_TRUE(saved);
    double seconds = 0;
    served.stop(seconds);

    const std::string text = saved->body;
    EXPECT_NE(text.find("advance "), std::string::npos) << text;
    const fs::path session = folder / "session.nelk";
    std::ofstream(session) << text;
    EXPECT_EQ(runScenario(session.string()), 0) << text;
    fs::remove_all(folder);
}

}  // namespace
