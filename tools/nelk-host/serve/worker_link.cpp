#include "worker_link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "host/transcript.h"
#include "process/adopted_children.h"

namespace nelk_host_tool {

namespace {

void closeQuietly(int& descriptor) {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}

bool writeAllTo(int descriptor, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(descriptor, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

worker_link::worker_link(std::vector<std::string> command) : command_(std::move(command)) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        stopRead_ = ends[0];
        stopWrite_ = ends[1];
    }
}

worker_link::~worker_link() {
    end();
    closeQuietly(stopRead_);
    closeQuietly(stopWrite_);
}

void worker_link::stop() {
    if (stopWrite_ >= 0) {
        const char byte = 1;
        (void)!write(stopWrite_, &byte, 1);
    }
}

void worker_link::end() {
    closeQuietly(requests_);
    closeQuietly(replies_);
    child_.end();  // the worker and whatever its components started
    buffered_.clear();
    readFrom_ = searchedTo_ = 0;
}

bool worker_link::start(std::string& problem) {
    end();
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        problem = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        problem = std::string("cannot make a pipe: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    // Marked, so that what its components leave behind is told at the end from the server's own.
    const bool started =
        child_.startProgram(command_, {{in[0], 0}, {out[1], 3}}, problem, {std::string(workerMark) + "=1"});
    close(in[0]);
    close(out[1]);
    if (!started) {
        problem = "cannot start the worker: " + problem;
        close(in[1]);
        close(out[0]);
        return false;
    }
    requests_ = in[1];
    replies_ = out[0];
    return true;
}

bool worker_link::readLine(std::string& line, double seconds, bool& timedOut) {
    timedOut = false;
    const auto wait = std::chrono::duration<double>(seconds);
    auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Only what came since the last look is searched, and what was read is dropped once per
        // read: a million short lines or one line of 100 MB cost their size, not its square.
        const std::size_t end = buffered_.find('\n', std::max(readFrom_, searchedTo_));
        if (end != std::string::npos) {
            line.assign(buffered_, readFrom_, end - readFrom_);
            readFrom_ = searchedTo_ = end + 1;
            return true;
        }
        searchedTo_ = buffered_.size();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            return false;
        }
        pollfd watched[2] = {{replies_, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        const int ready = poll(watched, 2, static_cast<int>(left.count() < 1000 ? left.count() + 1 : 1000));
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        if (watched[1].revents != 0) return false;  // stopped
        char chunk[65536];
        const ssize_t got = read(replies_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;  // the worker is gone
        buffered_.erase(0, readFrom_);
        searchedTo_ -= readFrom_;
        readFrom_ = 0;
        buffered_.append(chunk, static_cast<std::size_t>(got));
        deadline = std::chrono::steady_clock::now() + wait;  // a worker that sends is not silent
    }
}

worker_link::exchange worker_link::ask(const nlohmann::ordered_json& request, double timeoutSeconds,
                                       const std::function<void(const nlohmann::ordered_json& event)>& onEvent) {
    exchange answer;
    if (!child_.running() || !writeAllTo(requests_, request.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n")) {
        answer.how = outcome::gone;
    } else {
        // The components' time at the statement's start, as the worker counts it.
        double statementStart = 0;
        for (;;) {
            std::string line;
            bool timedOut = false;
            if (!readLine(line, timeoutSeconds, timedOut)) {
                pollfd stopping{stopRead_, POLLIN, 0};
                answer.how = timedOut ? outcome::hung : poll(&stopping, 1, 0) > 0 ? outcome::stopped : outcome::gone;
                break;
            }
            const nlohmann::ordered_json message = nlohmann::ordered_json::parse(line, nullptr, false);
            if (!message.is_object()) continue;
            if (message.contains("ended")) {
                answer.how = outcome::ended;
                answer.ending = message.value("ended", "");
                break;
            }
            if (const std::optional<child_result> result = child_result::read(line)) {
                answer.how = outcome::done;
                answer.result = *result;
                return answer;
            }
            if (message.contains("event")) {
                const nlohmann::ordered_json& event = message["event"];
                const double spent = message.value("componentSeconds", -1.0);
                if (spent >= 0 && eventKind(event) == transcript_event::statement) statementStart = spent;
                if (spent - statementStart > timeoutSeconds) {
                    answer.how = outcome::hung;
                    break;
                }
                onEvent(event);
            }
        }
    }
    // Not done: the worker is ended, and how its process ended is kept.
    closeQuietly(requests_);
    closeQuietly(replies_);
    const child_ending ending = child_.end();
    if (answer.how != outcome::hung && answer.how != outcome::stopped) answer.status = ending.status();
    buffered_.clear();
    readFrom_ = searchedTo_ = 0;
    return answer;
}

worker_link::exchange worker_link::finish(double graceSeconds,
                                          const std::function<void(const nlohmann::ordered_json& event)>& onEvent) {
    char drained[64];
    while (stopRead_ >= 0 && read(stopRead_, drained, sizeof drained) > 0) {
    }  // a stop asked for is this finish
    exchange answer;
    answer.how = outcome::done;
    if (child_.running()) answer = ask({{"op", "quit"}}, graceSeconds, onEvent);
    end();
    return answer;
}

}  // namespace nelk_host_tool
