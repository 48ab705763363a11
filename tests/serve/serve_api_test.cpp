// nelk-host serve's API, on a real server: started on the demo with a free port, driven over HTTP
// from 127.0.0.1, and stopped with SIGINT as a user stops it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include "serve/request_guard.h"

namespace {

using nelk_host_tool::hostAllowed;
using nelk_host_tool::originAllowed;

TEST(RequestGuardTest, OnlyThisServersAddressesAndPage) {
    struct row { const char* host; const char* bound; bool allowed; };
    const row hosts[] = {
        {"127.0.0.1:6355", "127.0.0.1", true},   {"localhost:6355", "127.0.0.1", true},
        {"LOCALHOST:6355", "127.0.0.1", true},   {"[::1]:6355", "127.0.0.1", true},
        {"127.0.0.2:6355", "127.0.0.1", true},   {"127.0.0.1:6356", "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.1", false},       {"evil.example:6355", "127.0.0.1", false},
        {"localhost.evil.example:6355", "127.0.0.1", false}, {"10.0.0.5:6355", "127.0.0.1", false},
        {"10.0.0.5:6355", "10.0.0.5", true},     {"10.0.0.6:6355", "10.0.0.5", false},
        {"10.0.0.6:6355", "0.0.0.0", true},      {"rebound.example:6355", "0.0.0.0", false},
        {"", "127.0.0.1", false},                {"256.0.0.1:6355", "0.0.0.0", false},
    };
    for (const row& r : hosts) EXPECT_EQ(hostAllowed(r.host, r.bound, 6355), r.allowed) << r.host << " bound to " << r.bound;
    EXPECT_TRUE(originAllowed("", "127.0.0.1:6355"));
    EXPECT_TRUE(originAllowed("http://127.0.0.1:6355", "127.0.0.1:6355"));
    EXPECT_FALSE(originAllowed("http://evil.example", "127.0.0.1:6355"));
    EXPECT_FALSE(originAllowed("null", "127.0.0.1:6355"));
    EXPECT_FALSE(originAllowed("https://127.0.0.1:6355", "127.0.0.1:6355"));
}

// A served demo for the tests of this file; stopped (and its exit status checked) at the end.
class ServeApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        server = fork();
        ASSERT_GE(server, 0);
        if (server == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(NELK_HOST_PROGRAM, NELK_HOST_PROGRAM, "--quiet", "--library", NELK_CORVANE_LIBRARY, "serve", "--port", "0",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::FILE* lines = fdopen(out[0], "r");
        char line[256] = "";
        ASSERT_NE(std::fgets(line, sizeof line, lines), nullptr);
        const std::string first(line);
        const std::string prefix = "serving http://127.0.0.1:";
        ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
        port = std::stoi(first.substr(prefix.size()));
        output = lines;
    }
    static void TearDownTestSuite() {
        kill(server, SIGINT);
        int status = 0;
        waitpid(server, &status, 0);
        // Stopped by SIGINT, the server deletes the instances as a host does and exits 0.
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        std::fclose(output);
    }
    static httplib::Client client() {
        httplib::Client made("127.0.0.1", port);
        made.set_read_timeout(10, 0);
        return made;
    }
    static nlohmann::json post(const std::string& body) {
        auto answer = client().Post("/api/statements", body, "text/plain");
        EXPECT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        return nlohmann::json::parse(answer->body);
    }

    static pid_t server;
    static int port;
    static std::FILE* output;
};
pid_t ServeApiTest::server = 0;
int ServeApiTest::port = 0;
std::FILE* ServeApiTest::output = nullptr;

TEST_F(ServeApiTest, StateHasTheDemosPanelsBoundAndShowingTheSlotText) {
    auto answer = client().Get("/api/state");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 200);
    const nlohmann::json state = nlohmann::json::parse(answer->body);
    ASSERT_EQ(state["instances"].size(), 2u);
    for (const auto& instance : state["instances"]) {
        EXPECT_EQ(instance["phase"], "live");
        EXPECT_EQ(instance["controls"][1]["id"], "umdText");
        EXPECT_EQ(instance["controls"][1]["properties"]["text"], "Camera 1");
        EXPECT_EQ(instance["registrations"][0]["driver"], 12);
    }
    EXPECT_EQ(state["slots"][0]["text"], "Camera 1");
    EXPECT_EQ(state["protocolErrors"], 0);
}

TEST_F(ServeApiTest, StatementsRunAsInAScenarioAndReturnTheirEvents) {
    const nlohmann::json done = post("command A \"text=Camera 5\"\ncheck B umdText text \"Camera 5\"");
    EXPECT_TRUE(done["ok"]);
    bool sent = false;
    for (const auto& event : done["events"]) sent = sent || (event["event"] == "send" && event["line"] == "IW 12 'Camera 5' 7 0");
    EXPECT_TRUE(sent) << done.dump();

    const nlohmann::json failed = post("check A umdText text \"Camera 6\"\nbogus");
    EXPECT_FALSE(failed["ok"]);
    int errors = 0;
    for (const auto& event : failed["events"]) {
        if (event["event"] != "error") continue;
        ++errors;
        EXPECT_NE(event["where"].get<std::string>().find(":"), std::string::npos);  // FILE:LINE-style
    }
    EXPECT_EQ(errors, 2) << failed.dump();
    const nlohmann::json refused = post("save /tmp/anywhere.nelk");
    EXPECT_FALSE(refused["ok"]);
}

TEST_F(ServeApiTest, ForeignOriginsHostsAndOversizedBodiesAreRefused) {
    httplib::Client plain = client();
    auto foreignOrigin = plain.Post("/api/statements", {{"Origin", "http://evil.example"}}, "delete A", "text/plain");
    ASSERT_TRUE(foreignOrigin);
    EXPECT_EQ(foreignOrigin->status, 403);
    auto foreignHost = plain.Get("/api/state", {{"Host", "rebound.example:" + std::to_string(port)}});
    ASSERT_TRUE(foreignHost);
    EXPECT_EQ(foreignHost->status, 403);
    auto sameOrigin = plain.Get("/api/state", {{"Origin", "http://127.0.0.1:" + std::to_string(port)}});
    ASSERT_TRUE(sameOrigin);
    EXPECT_EQ(sameOrigin->status, 200);
    auto oversized = plain.Post("/api/statements", "echo " + std::string(1 << 20, 'x'), "text/plain");
    ASSERT_TRUE(oversized);
    EXPECT_EQ(oversized->status, 413);
    auto state = plain.Get("/api/state");  // nothing of the refused requests ran
    ASSERT_TRUE(state);
    EXPECT_EQ(nlohmann::json::parse(state->body)["instances"].size(), 2u);
}

TEST_F(ServeApiTest, ThePageAndTheScenarioAreServedAndNothingElse) {
    httplib::Client plain = client();
    auto page = plain.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<script src=\"/app.js\">"), std::string::npos);
    auto script = plain.Get("/app.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    for (const char* path : {"/etc/passwd", "/../../etc/passwd", "/page/app.js", "/api/nothing"}) {
        auto missing = plain.Get(path);
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->status, 404) << path;
    }
    auto scenario = plain.Get("/api/scenario");
    ASSERT_TRUE(scenario);
    EXPECT_NE(scenario->body.find("load A"), std::string::npos);
    EXPECT_NE(scenario->get_header_value("Content-Disposition").find("attachment"), std::string::npos);
}

TEST_F(ServeApiTest, TheEventStreamDeliversWhatHappens) {
    httplib::Client reader = client();
    std::string received;
    std::thread listening([&] {
        reader.Get("/api/events", [&](const char* data, std::size_t length) {
            received.append(data, length);
            return received.find("Camera 8") == std::string::npos;  // stop once it came
        });
    });
    post("slot 12 7 \"Camera 8\"");
    listening.join();
    EXPECT_NE(received.find("data: {\"event\":\"deliver\""), std::string::npos);
    EXPECT_NE(received.find("Camera 8"), std::string::npos);
}

}  // namespace

