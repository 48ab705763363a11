#include "supervised_child.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nelk_host_tool {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The process groups of the children running now, so that a signal that stops nelk-host (Ctrl-C,
// a CI step's SIGTERM, a closed terminal) ends them too: each lives in a group of its own, which
// the terminal's Ctrl-C does not reach, and would otherwise hang on, re-parented, holding the
// run's standard output.
const int mostGroups = 256;
volatile std::sig_atomic_t groups_[mostGroups];
const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void endGroupsAndStop(int signal) {
    for (volatile std::sig_atomic_t& group : groups_) {
        if (group > 0) kill(-static_cast<pid_t>(group), SIGKILL);
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Installed once, for the signals whose action is still the default (a program that handles or
// waits for them itself, as serve does, keeps its own way).
void endChildrenWithThisProcess() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (const int signal : stopSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = endGroupsAndStop;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void remember(pid_t group) {
    endChildrenWithThisProcess();
    for (volatile std::sig_atomic_t& slot : groups_) {
        if (slot == 0) {
            slot = group;
            return;
        }
    }
}

void forget(pid_t group) {
    for (volatile std::sig_atomic_t& slot : groups_) {
        if (slot == group) slot = 0;
    }
}

// Closes the descriptors from `first` to `last`; after fork, so only system calls.
void closeRange(int first, int last) {
    if (first > last) return;
#if defined(SYS_close_range)
    if (syscall(SYS_close_range, static_cast<unsigned>(first), static_cast<unsigned>(last), 0u) == 0) return;
#endif
    const long open = sysconf(_SC_OPEN_MAX);
    const int limit = open > 0 && open < 65536 ? static_cast<int>(open) : 65536;
    for (int descriptor = first; descriptor <= last && descriptor < limit; ++descriptor) close(descriptor);
}

// Every descriptor from 3 up but those in `kept` (ascending): a started program gets only what it
// was given, not the server's sockets, logs and other children's pipes that lack close-on-exec.
void closeAllBut(const int* kept, int count) {
    int from = 3;
    for (int i = 0; i < count; ++i) {
        if (kept[i] < from) continue;
        closeRange(from, kept[i] - 1);
        from = kept[i] + 1;
    }
    closeRange(from, 0x7fffffff);
}

// The child's side of startProgram, after fork: only what is safe in a process with threads,
// until exec. Standard input is /dev/null unless mapped; the exec's error goes to `report`.
[[noreturn]] void execProgram(char* const* argv, char* const* envp, const std::vector<std::pair<int, int>>& descriptors,
                              int report) {
    setpgid(0, 0);
    bool inputMapped = false;
    for (const auto& each : descriptors) inputMapped = inputMapped || each.second == 0;
    if (!inputMapped) {
        const int input = open("/dev/null", O_RDONLY);
        if (input > 0) dup2(input, 0);
    }
    // The report goes out on a descriptor above every one mapped, kept to the end.
    for (const auto& each : descriptors) {
        if (each.second == report) report = fcntl(report, F_DUPFD_CLOEXEC, 64);
    }
    for (const auto& each : descriptors) dup2(each.first, each.second);  // dup2 clears close-on-exec
    int kept[16];
    int keptCount = 0;
    for (const auto& each : descriptors) {
        if (each.second >= 3 && keptCount < 15) kept[keptCount++] = each.second;
    }
    kept[keptCount++] = report;
    std::sort(kept, kept + keptCount);
    closeAllBut(kept, keptCount);
    execvpe(argv[0], argv, envp);
    const int error = errno;
    (void)!write(report, &error, sizeof error);
    _exit(127);
}

// In a new child: its parent's children are not its own.
void forgetAll() {
    for (volatile std::sig_atomic_t& slot : groups_) slot = 0;
}

}  // namespace

std::string child_ending::status() const {
    if (how == way::signalled) return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "status " + std::to_string(how == way::exited ? exitStatus : 0);
}

std::string child_ending::sentence() const {
    switch (how) {
    case way::exited:
    case way::signalled: return "ended with " + status();
    case way::hung: return "made no progress for " + number(seconds) + " s";
    case way::stopped: return "was stopped";
    case way::notStarted: break;
    }
    return "could not be started" + (problem.empty() ? std::string() : ": " + problem);
}

supervised_child::~supervised_child() {
    if (pid_ > 0) end();
}

bool supervised_child::startFunction(const std::function<void()>& body, std::string& problem) {
    std::fflush(nullptr);  // nothing buffered here is written twice
    const pid_t child = fork();
    if (child < 0) {
        problem = std::string("cannot start a process: ") + std::strerror(errno);
        return false;
    }
    if (child == 0) {
        setpgid(0, 0);
        forgetAll();
        body();
        _exit(127);  // a body that came back
    }
    setpgid(child, child);  // as the child does, so that ending the group never misses it
    remember(child);
    pid_ = child;
    ending_.reset();
    return true;
}

bool supervised_child::startProgram(const std::vector<std::string>& program, const std::vector<std::pair<int, int>>& descriptors,
                                    std::string& problem, const std::vector<std::string>& environment) {
    if (program.empty()) {
        problem = "no program to start";
        return false;
    }
    int failure[2];  // the exec's error, close-on-exec so that a started program closes it
    if (pipe2(failure, O_CLOEXEC) != 0) {
        problem = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& word : program) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    // The program's environment, made here: between fork and exec nothing may allocate.
    std::vector<char*> envp;
    for (char** each = environ; *each != nullptr; ++each) envp.push_back(*each);
    for (const std::string& each : environment) envp.push_back(const_cast<char*>(each.c_str()));
    envp.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) execProgram(argv.data(), envp.data(), descriptors, failure[1]);
    close(failure[1]);
    if (child < 0) {
        problem = std::string("cannot start ") + program.front() + ": " + std::strerror(errno);
        close(failure[0]);
        return false;
    }
    setpgid(child, child);
    remember(child);
    pid_ = child;
    ending_.reset();
    int error = 0;
    ssize_t got;
    while ((got = read(failure[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(failure[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        problem = program.front() + ": " + std::strerror(error);
        end();
        return false;
    }
    return true;
}

void supervised_child::reaped(int status) {
    child_ending ending;
    if (WIFSIGNALED(status)) {
        ending.how = child_ending::way::signalled;
        ending.signal = WTERMSIG(status);
    } else {
        ending.how = child_ending::way::exited;
        ending.exitStatus = WEXITSTATUS(status);
    }
    ending_ = ending;
}

std::optional<child_ending> supervised_child::ended() {
    if (ending_ || pid_ <= 0) return ending_;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        reaped(status);
        kill(-pid_, SIGKILL);  // whatever it left behind in its group ends with it
        forget(pid_);
    }
    return ending_;
}

child_ending supervised_child::wait(double idleSeconds, double capSeconds, const volatile std::uint64_t* progress,
                                    int stopDescriptor) {
    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    auto lastProgress = started;
    std::uint64_t seen = progress != nullptr ? *progress : 0;
    auto pause = std::chrono::microseconds(500);
    for (;;) {
        if (const std::optional<child_ending> done = ended()) return *done;
        const auto now = clock::now();
        if (progress != nullptr && *progress != seen) {
            seen = *progress;
            lastProgress = now;
        }
        const bool idle = now - lastProgress >= std::chrono::duration<double>(idleSeconds);
        const bool capped = capSeconds > 0 && now - started >= std::chrono::duration<double>(capSeconds);
        if (idle || capped) {
            child_ending hung;
            hung.how = child_ending::way::hung;
            hung.seconds = capped && !idle ? capSeconds : idleSeconds;
            return hung;
        }
        if (stopDescriptor >= 0) {
            pollfd stop{stopDescriptor, POLLIN, 0};
            if (poll(&stop, 1, 0) > 0) {
                child_ending stopped;
                stopped.how = child_ending::way::stopped;
                return stopped;
            }
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(10)) pause *= 2;
    }
}

child_ending supervised_child::end() {
    if (pid_ <= 0) return ending_.value_or(child_ending{});
    if (!ended()) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped(status);
    }
    kill(-pid_, SIGKILL);
    forget(pid_);
    const child_ending ending = *ending_;
    pid_ = -1;
    return ending;
}

}  // namespace nelk_host_tool
