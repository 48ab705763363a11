// nelk-host serve's API, on a real server: started on the demo with a free port, driven over HTTP
// from 127.0.0.1 with the session's token, fed components that crash and hang, and stopped with
// SIGTERM as a service manager stops it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include "serve/request_guard.h"
#include "served_process.h"

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
        served.start({"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve", "--timeout", "1"});
        server = served.pid;
        port = served.port;
        token = served.token;
        output = served.output;
    }
    static void TearDownTestSuite() {
        double seconds = 0;
        const int status = served.stop(seconds);
        // Stopped by SIGTERM, the server deletes the instances as a host does and exits 0, promptly
        // (the bound only catches a server that hangs; what it took is printed).
        std::printf("the server ended %.3f s after SIGTERM\n", seconds);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        EXPECT_LT(seconds, 30.0);
    }
    static httplib::Client client() { return served.client(); }
    static httplib::Client withoutToken() {
        httplib::Client made("127.0.0.1", port);
        made.set_read_timeout(10, 0);
        return made;
    }
    // The resident memory of a process, in kB (/proc).
    static long residentKb(pid_t process) {
        std::ifstream status("/proc/" + std::to_string(process) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        }
        return -1;
    }
    static nlohmann::json post(const std::string& body) {
        auto answer = client().Post("/api/statements", body, "text/plain");
        EXPECT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        return nlohmann::json::parse(answer->body);
    }

    static nelk_tests::served_process served;
    static pid_t server;
    static int port;
    static std::string token;
    static std::FILE* output;
};
nelk_tests::served_process ServeApiTest::served;
pid_t ServeApiTest::server = 0;
int ServeApiTest::port = 0;
std::string ServeApiTest::token;
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
    // The same without a length: sent in chunks, 30 MB in all, which the server stops reading.
    std::size_t sent = 0;
    auto chunked = plain.Post(
        "/api/statements",
        [&](std::size_t, httplib::DataSink& sink) {
            const std::string chunk = sent == 0 ? "echo " + std::string(65531, 'x') : std::string(65536, 'x');
            sent += chunk.size();
            if (!sink.write(chunk.data(), chunk.size()) || sent >= (30u << 20)) sink.done();
            return true;
        },
        "text/plain");
    if (chunked) {
        EXPECT_EQ(chunked->status, 413);  // or the connection is closed on it
    }
    auto nonAscii = plain.Get("/api/state", {{"Host", "caf\xc3\xa9\xff:" + std::to_string(port)}});
    ASSERT_TRUE(nonAscii);
    EXPECT_EQ(nonAscii->status, 403);
    auto state = plain.Get("/api/state");  // nothing of the refused requests ran
    ASSERT_TRUE(state);
    EXPECT_EQ(nlohmann::json::parse(state->body)["instances"].size(), 2u);
}

TEST_F(ServeApiTest, TheApiNeedsTheTokenAndThePageGetsItFromItsAddress) {
    httplib::Client stranger = withoutToken();
    for (const char* path : {"/api/state", "/api/scenario", "/api/events"}) {
        auto refused = stranger.Get(path);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 403) << path;
    }
    auto posted = stranger.Post("/api/statements", "delete A", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 403);
    auto wrong = stranger.Get("/api/state", {{"X-Nelk-Token", std::string(32, '0')}});
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 403);
    // The page itself is served to anyone (it holds nothing). Opened with the token in the query,
    // it is sent to the fragment, which no request carries; no cookie holds the token, since a
    // browser would send it to every port of 127.0.0.1, and a cookie is not taken for it either.
    auto page = stranger.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    auto opened = stranger.Get("/?token=" + token);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->status, 303);
    EXPECT_EQ(opened->get_header_value("Location"), "/#token=" + token);
    EXPECT_FALSE(opened->has_header("Set-Cookie")) << opened->get_header_value("Set-Cookie");
    auto withCookie = stranger.Get("/api/state", {{"Cookie", "nelk_token_" + std::to_string(port) + "=" + token}});
    ASSERT_TRUE(withCookie);
    EXPECT_EQ(withCookie->status, 403);
    auto withHeader = stranger.Get("/api/state", {{"X-Nelk-Token", token}});
    ASSERT_TRUE(withHeader);
    EXPECT_EQ(withHeader->status, 200);
    // Nothing may frame the page or the API.
    for (const httplib::Response* answered : {&*page, &*withHeader}) {
        EXPECT_EQ(answered->get_header_value("X-Frame-Options"), "DENY");
        EXPECT_NE(answered->get_header_value("Content-Security-Policy").find("frame-ancestors 'none'"), std::string::npos);
    }
}

TEST_F(ServeApiTest, EventStreamsNeverStarveTheApi) {
    // Twelve streams at once (as twelve frames of a page would open): those past the server's
    // bound are refused at once, and a statement is still answered while the rest stay open.
    std::vector<std::thread> readers;
    std::atomic<int> refused{0};
    std::atomic<int> refusedAndClosed{0};  // a refused stream keeps no connection open
    std::atomic<int> opened{0};
    for (int i = 0; i < 12; ++i) {
        readers.emplace_back([&] {
            httplib::Client reader = client();
            const auto started = std::chrono::steady_clock::now();
            auto answer = reader.Get("/api/events", [&](const char*, std::size_t) {
                ++opened;
                return std::chrono::steady_clock::now() - started < std::chrono::seconds(3);
            });
            if (answer && answer->status == 503) {
                ++refused;
                if (answer->get_header_value("Connection") == "close") ++refusedAndClosed;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const nlohmann::json done = post("command A \"return=all\"");
    EXPECT_TRUE(done["ok"]) << done.dump();
    for (std::thread& reader : readers) reader.join();
    EXPECT_GE(refused, 1);
    EXPECT_EQ(refusedAndClosed, refused);
    EXPECT_GE(opened, 1);
}

TEST_F(ServeApiTest, AComponentThatHangsOrCrashesIsNamedAndTheSessionComesBack) {
    struct row {
        const char* statements;
        const char* culprit;  // in the error event
    };
    const row rows[] = {
        {"load Q " NELK_HANGING_LIBRARY "\ntimer Q 1\necho never reached",
         "the component Q hung in `timer Q 1`: no result after 1 s; the last event delivered was kind 4 timer 1 to Q"},
        {"load C " NELK_CRASHING_LIBRARY "\nnotify C 12 7 null\necho never reached",
#if defined(NELK_SANITIZED_BUILD)
         // UndefinedBehaviorSanitizer ends the worker at the null read, before there is a fault.
         "the worker process ended with status 1 in `notify C 12 7 null`"},
#else
         "the component crashed with signal 11 (Segmentation fault) during kind 1 slot 12 7 null to C in `notify C 12 7 null`"},
#endif
    };
    for (const row& each : rows) {
        const nlohmann::json failed = post(each.statements);
        EXPECT_FALSE(failed["ok"]);
        bool named = false;
        for (const auto& event : failed["events"]) {
            if (event["event"] == "error") named = named || event["text"].get<std::string>().find(each.culprit) != std::string::npos;
            EXPECT_NE(event.value("text", ""), "never reached");
        }
        EXPECT_TRUE(named) << failed.dump();
        // The server answers, the page is told, and the session is back: the demo's panels and
        // what the request did before its fatal statement.
        auto state = client().Get("/api/state");
        ASSERT_TRUE(state);
        const nlohmann::json now = nlohmann::json::parse(state->body);
        ASSERT_TRUE(now.contains("recovery")) << state->body;
        EXPECT_NE(now["recovery"]["message"].get<std::string>().find(each.culprit), std::string::npos);
        std::vector<std::string> names;
        for (const auto& instance : now["instances"]) names.push_back(instance["name"]);
        EXPECT_GE(names.size(), 3u) << state->body;
        EXPECT_TRUE(post("command A \"return=all\"")["ok"]);
    }
    // Starting empty drops the session and the warning.
    auto empty = client().Post("/api/recover", "empty", "text/plain");
    ASSERT_TRUE(empty);
    const nlohmann::json now = nlohmann::json::parse(client().Get("/api/state")->body);
    EXPECT_FALSE(now.contains("recovery"));
    EXPECT_EQ(now["instances"].size(), 0u);
    EXPECT_TRUE(post("load A\nload B\ncommand A \"InfoDriverID=12\"\ncommand A \"Slot=7\"\ncommand B \"InfoDriverID=12\"\n"
                     "command B \"Slot=7\"\ncommand A \"text=Camera 1\"")["ok"]);
}

TEST_F(ServeApiTest, AComponentThatClosesTheChannelOrForksLeavesTheSessionWhole) {
    // Descriptors 0 and 3 closed (the worker's channel, as the server hands it over): nothing
    // is lost, the next statement is answered, no recovery was needed.
    const nlohmann::json closed = post("load K " NELK_CLOSING_LIBRARY "\ntimer K 1");
    EXPECT_TRUE(closed["ok"]) << closed.dump();
    // A fork whose child returns into the worker: named at its statement; the session goes on once.
    const nlohmann::json forked = post("load F " NELK_FORKING_LIBRARY "\nnumber F 1");
    EXPECT_FALSE(forked["ok"]);
    EXPECT_NE(forked.dump().find("a process the component forked during kind 7 number 1 to F came back"), std::string::npos)
        << forked.dump();
    const nlohmann::json after = post("load C2 default\ncommand C2 \"return=all\"");
    EXPECT_TRUE(after["ok"]) << after.dump();
    auto state = client().Get("/api/state");
    ASSERT_TRUE(state);
    const nlohmann::json now = nlohmann::json::parse(state->body);
    EXPECT_FALSE(now.contains("recovery")) << state->body;
    int named = 0;
    for (const auto& instance : now["instances"]) {
        const std::string name = instance["name"];
        named += name == "K" || name == "F" || name == "C2" ? 1 : 0;
    }
    EXPECT_EQ(named, 3) << state->body;
    EXPECT_TRUE(post("delete K\ndelete F\ndelete C2")["ok"]);
}

TEST_F(ServeApiTest, LargeStatementsDoNotGrowTheServer) {
#if defined(NELK_SANITIZED_BUILD)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: the resident size says nothing here";
#endif
    post("echo warm-up");
    const long before = residentKb(server);
    ASSERT_GT(before, 0);
    for (int i = 0; i < 20; ++i) post("echo " + std::string(1000000, 'a' + static_cast<char>(i)));
    // The server gives memory back when it is idle (a quarter of a second without requests).
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long after = residentKb(server);
    std::printf("the server's resident memory: %ld kB before 20 statements of 1 MB, %ld kB after\n", before, after);
    EXPECT_LT(after - before, 8 * 1024);
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

