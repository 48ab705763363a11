// What keeps another local user out of a served session, on real servers of 127.0.0.1: where the
// token may come from (a file only its user reads, the environment; a command line others read
// is warned about), the warning of --no-token, and a port that is served already.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process/child_command.h"
#include "process/scratch_folder.h"
#include "served_process.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void stopCleanly(nelk_tests::served_process& served) {
    double seconds = 0;
    const int status = served.stop(seconds);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

class ServeGuardsTest : public ::testing::Test {
protected:
    nelk_host_tool::scratch_folder folder{"serve-guards"};
    std::string file(const char* name) const { return folder.path() + "/" + name; }
    std::vector<std::string> serveArguments() const { return {"--quiet", "--library", NELK_CORVANE_LIBRARY, "serve"}; }
};

TEST_F(ServeGuardsTest, TheTokenComesFromAPrivateFileOrTheEnvironmentAndAnArgumentIsWarnedAbout) {
    const std::string tokenFile = file("token");
    std::ofstream(tokenFile) << "0123456789abcdef0123456789abcdef\n";
    struct row {
        const char* how;
        std::vector<std::string> options;
        const char* environment;  // NELK_SERVE_TOKEN, or null
        std::string expected;     // the token the server asks for
        const char* warning;      // what its standard error must say, or ""
    };
    chmod(tokenFile.c_str(), 0600);
    const row rows[] = {
        {"a private file", {"--token-file", tokenFile}, nullptr, "0123456789abcdef0123456789abcdef", ""},
        {"the environment", {}, "fedcba9876543210fedcba9876543210", "fedcba9876543210fedcba9876543210", ""},
        {"an argument", {"--token", "aaaabbbbccccddddaaaabbbbccccdddd"}, nullptr, "aaaabbbbccccddddaaaabbbbccccdddd",
         "warning: --token puts the token where every local user reads it"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.how);
        if (r.environment != nullptr) setenv("NELK_SERVE_TOKEN", r.environment, 1);
        nelk_tests::served_process served;
        served.errorsTo = file("errors");
        std::vector<std::string> arguments = serveArguments();
        arguments.insert(arguments.end(), r.options.begin(), r.options.end());
        served.start(arguments);
        unsetenv("NELK_SERVE_TOKEN");
        EXPECT_EQ(served.token, r.expected);
        auto answered = served.client().Get("/api/state");
        ASSERT_TRUE(answered);
        EXPECT_EQ(answered->status, 200);
        stopCleanly(served);
        const std::string errors = readAll(file("errors"));
        if (*r.warning != '\0') {
            EXPECT_NE(errors.find(r.warning), std::string::npos) << errors;
        } else {
            EXPECT_EQ(errors.find("warning"), std::string::npos) << errors;
        }
    }
}

TEST_F(ServeGuardsTest, ATokenFileOthersMayReadOrAShortTokenIsRefused) {
    const std::string readable = file("readable");
    std::ofstream(readable) << "0123456789abcdef0123456789abcdef\n";
    chmod(readable.c_str(), 0644);
    const std::string shortToken = file("short");
    std::ofstream(shortToken) << "abc\n";
    chmod(shortToken.c_str(), 0600);
    struct row { std::string file; const char* says; };
    const row rows[] = {
        {readable, "other users may read it"},
        {shortToken, "a token needs 16 characters at least"},
        {file("missing"), "No such file"},
    };
    for (const row& r : rows) {
        std::vector<std::string> arguments{NELK_HOST_PROGRAM};
        for (const std::string& each : serveArguments()) arguments.push_back(each);
        arguments.insert(arguments.end(), {"--port", "0", "--token-file", r.file});
        const nelk_host_tool::command_result result = nelk_host_tool::runCommand(arguments, 60);
        EXPECT_EQ(result.exitStatus, 2) << r.file << ": " << result.errors;
        EXPECT_NE(result.errors.find(r.says), std::string::npos) << result.errors;
    }
}

TEST_F(ServeGuardsTest, NoTokenWarnsThatEveryLocalUserCanDrive) {
    nelk_tests::served_process served;
    served.errorsTo = file("errors");
    served.tokenExpected = false;
    std::vector<std::string> arguments = serveArguments();
    arguments.push_back("--no-token");
    served.start(arguments);
    httplib::Client anyone("127.0.0.1", served.port);
    auto answered = anyone.Get("/api/state");
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->status, 200);
    stopCleanly(served);
    EXPECT_NE(readAll(file("errors")).find("warning: --no-token: every local user"), std::string::npos);
}

TEST_F(ServeGuardsTest, ASecondServerOnAServedPortIsRefused) {
    nelk_tests::served_process first;
    first.start(serveArguments());
    std::vector<std::string> arguments{NELK_HOST_PROGRAM};
    for (const std::string& each : serveArguments()) arguments.push_back(each);
    arguments.insert(arguments.end(), {"--port", std::to_string(first.port)});
    // Bounded: a second server that did start would serve until the deadline kills it.
    const nelk_host_tool::command_result second = nelk_host_tool::runCommand(arguments, 20);
    EXPECT_FALSE(second.timedOut) << "a second server started on port " << first.port;
    EXPECT_EQ(second.exitStatus, 2) << second.errors;
    EXPECT_NE(second.errors.find("another server listens there"), std::string::npos) << second.errors;
    stopCleanly(first);
}

// A connection to the served port that has sent nothing yet; -1 when it cannot be made.
int connectTo(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(socket);
        return -1;
    }
    return socket;
}

// Whether the server closed `socket` (the peer's end read as 0 bytes or reset) within `wait`.
bool closedByServer(int socket, std::chrono::milliseconds wait) {
    pollfd watched{socket, POLLIN, 0};
    if (poll(&watched, 1, static_cast<int>(wait.count())) <= 0) return false;
    char byte;
    return recv(socket, &byte, 1, MSG_DONTWAIT) <= 0;
}

TEST_F(ServeGuardsTest, SlowHeadsHoldNoThreadAndAreClosedAtTheirDeadline) {
    // Forty clients without a token send their request's head a byte every 300 ms, more than the
    // server has threads: the page's requests are still answered while they do, and the slow ones
    // are closed at the head deadline rather than kept for as long as they keep sending.
    nelk_tests::served_process served;
    served.start(serveArguments());
    std::vector<int> slow;
    for (int i = 0; i < 40; ++i) {
        const int socket = connectTo(served.port);
        ASSERT_GE(socket, 0);
        slow.push_back(socket);
    }
    const std::string head = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Padding: ";
    std::size_t closed = 0;
    // One round: a byte more from every slow client; those the server closed are counted.
    auto dribble = [&](int round) {
        for (int& socket : slow) {
            if (socket < 0) continue;
            const char byte = round < static_cast<int>(head.size()) ? head[static_cast<std::size_t>(round)] : 'x';
            if (send(socket, &byte, 1, MSG_NOSIGNAL) != 1 || closedByServer(socket, std::chrono::milliseconds(0))) {
                close(socket);
                socket = -1;
                ++closed;
            }
        }
    };
    for (int round = 0; round < 3; ++round) dribble(round);
    // Every slow client holds a connection, none has been closed (their deadline is 10 s away),
    // and the page's requests are answered all the same.
    int answered = 0;
    for (int request = 0; request < 5; ++request) {
        auto state = served.client().Get("/api/state");
        if (state && state->status == 200) ++answered;
        dribble(3 + request);
    }
    EXPECT_EQ(answered, 5) << "the page's requests waited behind the slow clients";
    EXPECT_EQ(closed, 0u) << "slow heads were closed before their deadline";
    // Bounded: 100 rounds of 300 ms; the deadline falls well inside them.
    for (int round = 8; round < 108 && closed < slow.size(); ++round) {
        dribble(round);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_EQ(closed, slow.size()) << "slow heads were kept past their deadline";
    for (int socket : slow) {
        if (socket >= 0) close(socket);
    }
    stopCleanly(served);
}

}  // namespace
