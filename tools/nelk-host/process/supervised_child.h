// A child process of nelk-host, the one way nelk-host starts one: a function run after fork (a
// check, a scenario file) or a program run after exec (serve's worker, valgrind, the Windows
// nelk-host under its runner), always in a process group of its own; watched against a deadline
// that judges progress (a counter the child raises in shared memory), not wall time alone; ended
// with its whole group, and reaped; SIGINT, SIGTERM or SIGHUP that ends nelk-host (where it has
// not taken them itself) ends every child's group first. How it ended is said in one sentence
// everywhere. POSIX; the parent's thread. The object owns the child: destroying it ends and reaps one still running.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace nelk_host_tool {

struct child_ending {
    enum class way { exited, signalled, hung, stopped, notStarted };
    way how = way::notStarted;
    int exitStatus = 0;  // exited: its status
    int signal = 0;      // signalled: the signal
    double seconds = 0;  // hung: how long it went without progress (or in all)
    std::string problem; // notStarted: why
    bool cleanExit() const noexcept { return how == way::exited && exitStatus == 0; }
    // "ended with status 3", "ended with signal 11 (Segmentation fault)", "made no progress for
    // 2 s", "was stopped", "could not be started: ...".
    std::string sentence() const;
    // For an ending by exit or signal, what it ended with: "status 3", "signal 9 (Killed)".
    std::string status() const;
};

class supervised_child {
public:
    supervised_child() = default;
    ~supervised_child();
    supervised_child(const supervised_child&) = delete;
    supervised_child& operator=(const supervised_child&) = delete;

    // Forks and runs `body` in the child, in its own process group; `body` must end the process
    // (it may exec). False with `problem` set when no child could be made.
    bool startFunction(const std::function<void()>& body, std::string& problem);
    // Forks and execs `program` (argv; found on PATH when it holds no '/'). Each pair maps a
    // descriptor of this process to the child's number (its `second`); standard input is
    // /dev/null unless mapped; `environment` ("NAME=VALUE") is added to this process's. False
    // with `problem` set when it could not be started (exec failing included).
    bool startProgram(const std::vector<std::string>& program, const std::vector<std::pair<int, int>>& descriptors,
                      std::string& problem, const std::vector<std::string>& environment = {});

    pid_t pid() const noexcept { return pid_; }
    bool running() const noexcept { return pid_ > 0 && !ending_; }

    // Waits for the child's end while it makes progress: while `progress` (null: none watched)
    // changes at least every `idleSeconds`, and for `capSeconds` in all (0: no cap). A readable
    // `stopDescriptor` (-1: none) ends the wait as `stopped`. At a deadline the child is left
    // running and the ending is `hung`: the caller may look at it before end().
    child_ending wait(double idleSeconds, double capSeconds = 0, const volatile std::uint64_t* progress = nullptr,
                      int stopDescriptor = -1);
    // The ending when the child has ended; nullopt while it runs. Never waits.
    std::optional<child_ending> ended();
    // Ends the child's whole group and reaps the child; its ending (what it had ended with, if it
    // had). Afterwards nothing of its group runs.
    child_ending end();

private:
    void reaped(int status);

    pid_t pid_ = -1;
    std::optional<child_ending> ending_;
};

}  // namespace nelk_host_tool
