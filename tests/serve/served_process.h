// A nelk-host serve process for the tests: started on a free port of 127.0.0.1 with the given
// arguments, its address and token read from the line it prints, and ended with SIGTERM as a
// service manager ends it. The test's thread only; the object owns the process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nelk_tests {

struct served_process {
    pid_t pid = -1;
    int port = 0;
    std::string token;
    std::FILE* output = nullptr;  // what the server prints after its first line
    std::string errorsTo;         // set before start(): a file for the server's standard error
    bool tokenExpected = true;    // false: a server started with --no-token

    // `arguments` come after the program's name ("--library", L, "serve", FILE...); "--port 0"
    // is added. Fails the test (fatally) when the server does not say where it serves.
    void start(const std::vector<std::string>& arguments) {
        std::signal(SIGPIPE, SIG_IGN);  // the server may close a connection while a body is still being sent
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            if (!errorsTo.empty()) {
                if (std::FILE* errors = std::fopen(errorsTo.c_str(), "w")) dup2(fileno(errors), 2);
            }
            std::vector<std::string> words{NELK_HOST_PROGRAM};
            words.insert(words.end(), arguments.begin(), arguments.end());
            words.insert(words.end(), {"--port", "0"});
            std::vector<char*> argv;
            for (std::string& word : words) argv.push_back(word.data());
            argv.push_back(nullptr);
            execv(NELK_HOST_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        output = fdopen(out[0], "r");
        char line[256] = "";
        ASSERT_NE(std::fgets(line, sizeof line, output), nullptr);
        const std::string first(line);
        const std::string prefix = "serving http://127.0.0.1:";
        ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
        port = std::stoi(first.substr(prefix.size()));
        const std::size_t tokenAt = first.find("#token=");
        if (!tokenExpected) {
            EXPECT_EQ(tokenAt, std::string::npos) << first;
            return;
        }
        ASSERT_NE(tokenAt, std::string::npos) << first;
        token = first.substr(tokenAt + 7);
        while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
    }

    // A client that carries the token, as the page's requests do.
    httplib::Client client() const {
        httplib::Client made("127.0.0.1", port);
        made.set_read_timeout(10, 0);
        made.set_default_headers({{"X-Nelk-Token", token}});
        return made;
    }

    // SIGTERM, then the exit status (-1 when it had to be killed after 30 s, which fails the
    // test); `seconds` gets how long it took.
    int stop(double& seconds) {
        const auto asked = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
        int status = 0;
        bool ended = false;
        // Bounded generously, to report a server that never ends rather than hang the suite.
        for (int waited = 0; waited < 3000 && !ended; ++waited) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the server did not end within 30 s of SIGTERM";
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
        if (output != nullptr) std::fclose(output);
        output = nullptr;
        pid = -1;
        return ended ? status : -1;
    }
};

}  // namespace nelk_tests
