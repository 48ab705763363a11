// nelk-host run stopped (a CI step's SIGTERM, Ctrl-C) while a component hangs: the file's process
// ends with the run, and so the run's standard output closes, and a pipe reading it ends; and a
// helper a component left running, out of the file's process group, ends with its file.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process/scratch_folder.h"

namespace {

// Reads `descriptor` into `text` until it holds `wanted` (or, when empty, until the end);
// false when `seconds` pass first. Bounded, so that a pipe nobody closes fails the test.
bool readUntil(int descriptor, std::string& text, const std::string& wanted, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!wanted.empty() && text.find(wanted) != std::string::npos) return true;
        pollfd ready{descriptor, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got == 0) return wanted.empty();
        if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
    }
    return false;
}

// nelk-host started with `arguments` after "--no-colour", its standard output and error on one
// pipe (`output`) and, when asked, its standard input on another (`input`; -1 otherwise).
struct started_host {
    pid_t pid = -1;
    int output = -1;
    int input = -1;
};

started_host startHost(const std::vector<std::string>& arguments, bool withInput = false) {
    int in[2] = {-1, -1};
    int out[2];
    if (pipe(out) != 0 || (withInput && pipe(in) != 0)) return {};
    std::vector<std::string> words{NELK_HOST_PROGRAM, "--no-colour"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (withInput) dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        for (int end : {in[0], in[1], out[0], out[1]}) {
            if (end >= 0) close(end);
        }
        execv(NELK_HOST_PROGRAM, argv.data());
        _exit(127);
    }
    close(out[1]);
    if (withInput) close(in[0]);
    return {pid, out[0], in[1]};
}

TEST(StoppedRunTest, TheFilesProcessEndsWithTheRun) {
    for (const int stop : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(stop));
        // The terminal's Ctrl-C would reach the run's whole group; here only the run gets it.
        const started_host started =
            startHost({"--library", NELK_HANGING_LIBRARY, "run", "--timeout", "600", NELK_HANGING_SCENARIO});
        ASSERT_GE(started.pid, 0);
        const pid_t run = started.pid;
        std::string output;
        ASSERT_TRUE(readUntil(started.output, output, "timer 1", 60)) << output;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // into the hang
        kill(run, stop);
        int status = 0;
        ASSERT_EQ(waitpid(run, &status, 0), run);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == stop) << "status " << status;
        EXPECT_TRUE(readUntil(started.output, output, "", 30)) << "the run's output stayed open after it ended:\n" << output;
        close(started.output);
    }
}

TEST(StoppedRunTest, AHangInNelkHostsOwnProcessIsNamedAtTheTimeout) {
    // The prompt and run --in-process cannot take a call back from a component that never
    // returns: at the timeout they end, naming the statement and the call.
    nelk_host_tool::scratch_folder folder("own-process-hang");
    const std::string statements = "load A " NELK_HANGING_LIBRARY "\ntimer A 1\necho never reached\n";
    const std::string scenario = folder.path() + "/hang.nelk";
    std::ofstream(scenario) << statements;
    struct row {
        std::vector<std::string> arguments;
        const char* says;
    };
    const row rows[] = {
        {{"repl", "--timeout", "0.5"}, "repl:2: error: the component hung in `timer A 1`: no result after 0.5 s during kind 4 "
                                        "timer 1 to A; the prompt cannot go on"},
        {{"run", "--in-process", "--timeout", "0.5", scenario},
         "hang.nelk:2: error: the component hung in `timer A 1`: no result after 0.5 s during kind 4 timer 1 to A; the run "
         "cannot go on"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.arguments.front());
        const started_host started = startHost(r.arguments, true);
        ASSERT_GE(started.pid, 0);
        const pid_t host = started.pid;
        EXPECT_EQ(write(started.input, statements.data(), statements.size()), static_cast<ssize_t>(statements.size()));
        std::string output;
        EXPECT_TRUE(readUntil(started.output, output, "", 60)) << "no end after the timeout:\n" << output;
        close(started.input);
        close(started.output);
        int status = 0;
        ASSERT_EQ(waitpid(host, &status, 0), host);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status << "\n" << output;
        EXPECT_NE(output.find(r.says), std::string::npos) << output;
        EXPECT_EQ(output.find("never reached"), std::string::npos) << output;
    }
}

TEST(StoppedRunTest, AHelperThatLeftTheRunsGroupIsEndedWithItsFile) {
    // The helper makes itself a session leader, which ending the file's process group misses,
    // and would hold the run's output open for two minutes; it ends with its file, said.
    nelk_host_tool::scratch_folder folder("outliving-helper");
    const std::string scenario = folder.path() + "/helper.nelk";
    std::ofstream(scenario) << "load H " NELK_SESSION_LEADER_LIBRARY "\ncommand H \"Helper=1\"\ndelete H\n";
    for (const char* mode : {"", "--in-process"}) {
        SCOPED_TRACE(*mode == '\0' ? "a process for the file" : mode);
        std::vector<std::string> arguments{"run"};
        if (*mode != '\0') arguments.push_back(mode);
        arguments.push_back(scenario);
        const started_host started = startHost(arguments);
        ASSERT_GE(started.pid, 0);
        const pid_t run = started.pid;
        std::string output;
        EXPECT_TRUE(readUntil(started.output, output, "", 60)) << "the run's output stayed open after it ended:\n" << output;
        close(started.output);
        int status = 0;
        ASSERT_EQ(waitpid(run, &status, 0), run);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n" << output;
        EXPECT_NE(output.find("processes a component started outlived the file's run and were ended"), std::string::npos)
            << output;
    }
}

}  // namespace
#endif
