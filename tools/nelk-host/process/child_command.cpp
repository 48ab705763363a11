#include "child_command.h"

#include "supervised_child.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace nelk_host_tool {

namespace {

const std::size_t keptErrors = 64 * 1024;

void closeBoth(int pipe[2]) {
    for (int i = 0; i < 2; ++i) {
        if (pipe[i] >= 0) close(pipe[i]);
        pipe[i] = -1;
    }
}

// Reads what is there from `from` into `into`, keeping at most `bound` bytes (the last ones when
// `keepLast`); false at its end.
bool drain(int from, std::string& into, std::size_t bound, bool keepLast) {
    char buffer[65536];
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0) return errno == EINTR || errno == EAGAIN;
    if (got == 0) return false;
    into.append(buffer, static_cast<std::size_t>(got));
    if (into.size() > bound) {
        if (keepLast) into.erase(0, into.size() - bound);
        else into.resize(bound);
    }
    return true;
}

}  // namespace

std::string command_result::ending(double timeoutSeconds) const {
    if (!started) return "could not be started" + (errors.empty() ? std::string() : ": " + errors);
    if (timedOut) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
        return std::string("did not end within ") + seconds + " s and was killed";
    }
    if (signal != 0) return "was ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "exited with status " + std::to_string(exitStatus);
}

command_result runCommand(const std::vector<std::string>& arguments, double timeoutSeconds, std::size_t maxOutput) {
    command_result result;
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        result.errors = std::strerror(errno);
        closeBoth(out);
        closeBoth(err);
        return result;
    }
    supervised_child child;
    result.started = child.startProgram(arguments, {{out[1], 1}, {err[1], 2}}, result.errors);
    close(out[1]);
    close(err[1]);
    out[1] = err[1] = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    bool outOpen = result.started;
    bool errOpen = result.started;
    bool ended = false;
    while (outOpen || errOpen) {
        // A program that ended while something it started still holds its output ends the wait
        // once what it wrote has been read.
        ended = ended || child.ended().has_value();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!ended && left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        pollfd watched[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        const int ready = poll(watched, 2, ended ? 0 : static_cast<int>(std::min<long long>(left.count(), 100)));
        if (ready < 0 && errno != EINTR) break;
        if (ready == 0 && ended) break;
        if (outOpen && (watched[0].revents & (POLLIN | POLLHUP | POLLERR))) outOpen = drain(out[0], result.output, maxOutput, false);
        if (errOpen && (watched[1].revents & (POLLIN | POLLHUP | POLLERR))) errOpen = drain(err[0], result.errors, keptErrors, true);
    }
    closeBoth(out);
    closeBoth(err);
    if (!result.started) return result;
    const child_ending ending = child.end();
    if (ending.how == child_ending::way::exited) result.exitStatus = ending.exitStatus;
    if (ending.how == child_ending::way::signalled && !result.timedOut) result.signal = ending.signal;
    return result;
}

}  // namespace nelk_host_tool
