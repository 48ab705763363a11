// Whose fault an ending is: a crash inside a call into the component is the component's; one on a
// thread the component started is that thread's; one in nelk-host's own work is nelk-host's.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

#include "process/process_guard.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>

namespace {

int reportTo = -1;  // the pipe the child's reporter writes to

void reportEnding(const nelk_process_guard::ending& end) {
    char text[1024] = "";
    nelk_process_guard::appendEnding(text, sizeof text, end);
    nelk_process_guard::writeAll(reportTo, text);
}

// Runs `crash` in a child process with the guard armed, and returns what its reporter said.
template <typename Crash> std::string endingOf(Crash crash) {
    int ends[2];
    if (pipe(ends) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        reportTo = ends[1];
        nelk_process_guard::install(reportEnding, 1);
        nelk_process_guard::arm(true);
        nelk_process_guard::setEvent("kind 4 timer 1 to A");
        crash();
        _exit(0);
    }
    close(ends[1]);
    std::string said;
    char buffer[256];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(got));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return said;
}

TEST(ProcessGuardTest, TheEndingIsPutDownToWhoseCodeRan) {
    struct row {
        const char* what;
        void (*crash)();
        const char* said;
    };
    const row rows[] = {
        {"in a call into the component",
         [] {
             nelk_process_guard::setHostWork(true);
             const nelk_process_guard::component_code inside;
             std::raise(SIGABRT);
         },
         "the component crashed with signal 6 (Aborted) during kind 4 timer 1 to A"},
        {"in nelk-host's own work",
         [] {
             nelk_process_guard::setHostWork(true);
             std::raise(SIGABRT);
         },
         "nelk-host itself crashed with signal 6 (Aborted), outside any call into a component: nelk-host's own failure, "
         "not the component's"},
        {"in nelk-host's handling of a line, inside the component's call",
         [] {
             nelk_process_guard::setHostWork(true);
             const nelk_process_guard::component_code inside;
             const nelk_process_guard::host_code ours;
             std::raise(SIGABRT);
         },
         "nelk-host itself crashed with signal 6 (Aborted)"},
        {"on a thread the component started",
         [] {
             std::thread([] { std::raise(SIGSEGV); }).join();
         },
         "a thread the component started crashed with signal 11 (Segmentation fault)"},
    };
    for (const row& each : rows) {
        const std::string said = endingOf(each.crash);
        EXPECT_EQ(said.rfind(each.said, 0), 0u) << each.what << ": " << said;
    }
}

}  // namespace
#endif
