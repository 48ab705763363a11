#include "worker.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "host/component_time.h"
#include "process/child_result.h"
#include "process/process_guard.h"
#include "scenario/live_session.h"
#include "state_json.h"

namespace nelk_host_tool {

namespace {

// The worker's channel: the server gives it requests on descriptor 0 and takes replies on 3;
// moved at once to descriptors of the worker's own (close-on-exec, high up), so that a component
// that closes or reuses 0 or 3 (one that detaches from the console, one that closes what it did
// not open) touches nothing of it. 0 and 3 then read and write nothing.
int requests_ = 0;
int replies = 3;

void moveChannel() {
    const int requestCopy = fcntl(0, F_DUPFD_CLOEXEC, 100);
    const int replyCopy = fcntl(3, F_DUPFD_CLOEXEC, 100);
    if (requestCopy < 0 || replyCopy < 0) return;  // no descriptor to spare: it stays where it is
    requests_ = requestCopy;
    replies = replyCopy;
    const int nothing = open("/dev/null", O_RDWR);
    if (nothing < 0) return;
    dup2(nothing, 0);
    dup2(nothing, 3);
    if (nothing != 0 && nothing != 3) close(nothing);
}

// The next request line from the server; false at the end of the channel.
bool readRequest(std::string& pending, std::string& line) {
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return true;
        }
        char chunk[65536];
        const ssize_t got = read(requests_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        pending.append(chunk, static_cast<std::size_t>(got));
    }
}
// The longest `advance` a statement takes (a day); a longer step of the clock is several.
const long long longestAdvance = 86400000;

// One line at a time on the channel, from the host's thread and the heartbeat's.
std::mutex replying;

void reply(const nlohmann::ordered_json& message) {
    const std::string line = jsonText(message) + "\n";
    const std::lock_guard<std::mutex> hold(replying);
    nelk_process_guard::writeAll(replies, line.c_str());
}

// While a request is answered and no component's own code runs (the host is making events of
// a 40 MB line, say), an empty object every 250 ms tells the server that the worker is at work,
// not stuck: its silence watchdog is for a component that never returns.
struct heartbeat {
    std::atomic<bool> busy{false};
    std::atomic<bool> inComponent{false};
    std::thread beating;

    void start() {
        publishComponentRunning(&inComponent);
        beating = std::thread([this] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                if (!busy.load() || inComponent.load()) continue;
                const std::lock_guard<std::mutex> hold(replying);
                nelk_process_guard::writeAll(replies, "{}\n");
            }
        });
        beating.detach();  // it ends with the process, which ends with _exit
    }
};

// A request's result (a child_result: verdict 1 for ok), with when the server must next hand
// the clock real time: the real milliseconds until a timer falls due ("due", -1: none runs, or
// the clock is paused), so that an idle server asks nothing until then.
void done(live_session& session, bool ok, nlohmann::ordered_json detail = nlohmann::ordered_json::object(), std::string reason = "") {
    detail["due"] = session.host().realMillisecondsToNextTimer();
    detail["running"] = session.host().clockRunning();
    child_result result;
    result.verdict = ok ? 1 : 0;
    result.reason = std::move(reason);
    result.detail = std::move(detail);
    const std::string line = result.text() + "\n";
    const std::lock_guard<std::mutex> hold(replying);
    nelk_process_guard::writeAll(replies, line.c_str());
}

// What ends the process, said to the server before it ends; runs in a signal handler.
void sayEnding(const nelk_process_guard::ending& end) {
    char text[4096] = "";
    nelk_process_guard::appendEnding(text, sizeof text, end);
    char line[8192] = "{\"ended\":\"";
    nelk_process_guard::appendJson(line, sizeof line, text);
    nelk_process_guard::append(line, sizeof line, "\"}\n");
    nelk_process_guard::writeAll(replies, line);
}

}  // namespace

int runServeWorker(const serve_worker_options& options) {
    // The terminal's Ctrl-C is the server's to act on; it ends this process in its own time.
    std::signal(SIGINT, SIG_IGN);
    moveChannel();
    nelk_process_guard::install(sayEnding, 1);
    nelk_process_guard::arm(true);
    transcript output(nullptr, transcript_style::quiet, false);
    // Each event the host's thread sends says how long the components have run in their own
    // code, which the server's watchdog judges them by.
    const std::thread::id hostThread = std::this_thread::get_id();
    output.listen([hostThread](const nlohmann::ordered_json& event) {
        if (std::this_thread::get_id() != hostThread) return reply({{"event", event}});
        reply({{"event", event}, {"componentSeconds", componentSeconds()}});
    });
    live_session session(output, options.library, options.mode);
    session.host().runClock(options.clockRunning);
    session.refuseSaving("save writes a file where nelk-host runs; the page's \"Save as scenario\" (GET /api/scenario) "
                         "gives the same scenario");
    static heartbeat beat;  // lives as long as the process, as its thread does
    beat.start();
    std::string pending;
    for (std::string line; readRequest(pending, line); beat.busy = false) {
        beat.busy = true;
        const nlohmann::ordered_json request = nlohmann::ordered_json::parse(line, nullptr, false);
        const std::string op = request.is_object() ? request.value("op", "") : "";
        if (op == "run") {
            done(session, session.runText(request.value("origin", "request"), request.value("text", "")) == statement_result::ok);
        } else if (op == "file") {
            done(session, session.runFile(request.value("path", "")) == statement_result::ok);
        } else if (op == "state") {
            done(session, true, {{"state", stateJson(session.host())}});
        } else if (op == "scenario") {
            done(session, true, {{"scenario", session.scenario()}});
        } else if (op == "watch") {
            session.reloadChanged("watch");
            done(session, true);
        } else if (op == "tick") {
            // Real time on the host's clock, as the statement a scenario would hold, so that the
            // session saved replays the timers that fired.
            const long long advanced = session.host().clockStepFor(request.value("ms", 0LL));
            bool ok = true;
            for (long long left = advanced; left > 0 && ok; left -= longestAdvance) {
                const long long step = left < longestAdvance ? left : longestAdvance;
                ok = session.runText("clock", "advance " + std::to_string(step) + "ms") == statement_result::ok;
            }
            done(session, ok, {{"advanced", advanced}});
        } else if (op == "quit") {
            break;
        } else {
            done(session, false, nlohmann::ordered_json::object(), "the worker does not know this request");
        }
    }
    // Asked to, or the server is gone: the instances are deleted as a host deletes them.
    output.note("", "stopping: the instances are deleted as a host does");
    session.host().removeAll();
    done(session, true);
    nelk_process_guard::arm(false);
    std::fflush(nullptr);
    _exit(0);  // nothing of the process is left to tidy
}

}  // namespace nelk_host_tool
