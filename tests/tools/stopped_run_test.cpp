// nelk-host run stopped (a CI step's SIGTERM, Ctrl-C) while a component hangs: the file's process
// ends with the run, and so the run's standard output closes, and a pipe reading it ends.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(StoppedRunTest, TheFilesProcessEndsWithTheRun) {
    for (const int stop : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(stop));
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t run = fork();
        ASSERT_GE(run, 0);
        if (run == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            close(out[1]);
            // The terminal's Ctrl-C would reach the run's whole group; here only the run gets it.
            execl(NELK_HOST_PROGRAM, NELK_HOST_PROGRAM, "--no-colour", "--library", NELK_HANGING_LIBRARY, "run",
                  "--timeout", "600", NELK_HANGING_SCENARIO, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string output;
        ASSERT_TRUE(readUntil(out[0], output, "timer 1", 60)) << output;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // into the hang
        kill(run, stop);
        int status = 0;
        ASSERT_EQ(waitpid(run, &status, 0), run);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == stop) << "status " << status;
        EXPECT_TRUE(readUntil(out[0], output, "", 30)) << "the run's output stayed open after it ended:\n" << output;
        close(out[0]);
    }
}

}  // namespace
#endif
