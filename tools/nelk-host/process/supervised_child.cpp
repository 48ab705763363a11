#include "supervised_child.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nelk_host_tool {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
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
        body();
        _exit(127);  // a body that came back
    }
    setpgid(child, child);  // as the child does, so that ending the group never misses it
    pid_ = child;
    ending_.reset();
    return true;
}

bool supervised_child::startProgram(const std::vector<std::string>& program, const std::vector<std::pair<int, int>>& descriptors,
                                    std::string& problem) {
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
    bool inputMapped = false;
    for (const auto& each : descriptors) inputMapped = inputMapped || each.second == 0;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // Only what is safe after fork in a process with threads, until exec.
        setpgid(0, 0);
        if (!inputMapped) {
            const int input = open("/dev/null", O_RDONLY);
            if (input > 0) dup2(input, 0);
        }
        for (const auto& each : descriptors) dup2(each.first, each.second);  // dup2 clears close-on-exec
        execvp(argv[0], argv.data());
        const int error = errno;
        (void)!write(failure[1], &error, sizeof error);
        _exit(127);
    }
    close(failure[1]);
    if (child < 0) {
        problem = std::string("cannot start ") + program.front() + ": " + std::strerror(errno);
        close(failure[0]);
        return false;
    }
    setpgid(child, child);
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
    const child_ending ending = *ending_;
    pid_ = -1;
    return ending;
}

}  // namespace nelk_host_tool
