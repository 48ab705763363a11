// Runs another program to its end, as nelk-host runs the Windows nelk-host under its runner: its
// standard output and error captured, a deadline, its own process group, which is killed at the
// deadline and, once the program has ended, with whatever it left behind. POSIX; the caller's
// thread, which waits.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nelk_host_tool {

struct command_result {
    bool started = false;   // false: the program could not be run (see `errors`)
    int exitStatus = -1;    // its status, when it exited
    int signal = 0;         // the signal that ended it, when one did
    bool timedOut = false;  // killed at the deadline
    std::string output;     // its standard output, up to the bound
    std::string errors;     // its standard error, the last 64 KB
    bool succeeded() const noexcept { return started && !timedOut && signal == 0 && exitStatus == 0; }
    // How it ended, in words for a report: "exited with status 3", "did not end within 60 s", ...
    std::string ending(double timeoutSeconds) const;
};

// Runs `arguments` (the program first; found on PATH when it holds no '/') with standard input
// from /dev/null. Output past `maxOutput` bytes is dropped.
command_result runCommand(const std::vector<std::string>& arguments, double timeoutSeconds,
                          std::size_t maxOutput = std::size_t(64) << 20);

}  // namespace nelk_host_tool
