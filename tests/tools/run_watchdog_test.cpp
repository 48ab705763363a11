// run's watchdog judges a component by its own time: a statement whose component sends 600 000
// lines well within its second takes the host longer than that to carry them out, and is not a
// hang; a component that never returns still is, at the timeout.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "process/child_command.h"
#include "process/scratch_folder.h"

namespace {

TEST(RunWatchdogTest, TheHostsTimeCarryingOutAFloodIsNotTheComponents) {
    nelk_host_tool::scratch_folder folder("run-watchdog");
    struct row {
        const char* statements;
        bool hangs;
    };
    const row rows[] = {
        {"load F " NELK_FLOODING_LIBRARY "\ncommand F \"Lines=600000\"\ndelete F\n", false},
        {"load A " NELK_HANGING_LIBRARY "\ntimer A 1\n", true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.statements);
        const std::string scenario = folder.path() + "/statements.nelk";
        std::ofstream(scenario) << r.statements;
        const nelk_host_tool::command_result ran =
            nelk_host_tool::runCommand({NELK_HOST_PROGRAM, "--json", "run", "--timeout", "1", scenario}, 120);
        ASSERT_TRUE(ran.started && !ran.timedOut) << ran.ending(120);
        const bool saidHung = ran.output.find("hung") != std::string::npos;
        EXPECT_EQ(saidHung, r.hangs) << ran.output.substr(ran.output.size() > 2000 ? ran.output.size() - 2000 : 0);
        EXPECT_EQ(ran.exitStatus, r.hangs ? 1 : 0);
    }
}

}  // namespace
#endif
