// A live session whose components live in a worker process (worker_link.h), as serve keeps it:
// the server's own transcript relays what the worker's session does, and the requests that built
// the session are kept, so that after a component crashed, ended the process or hung (reported
// with the culprit: the instance, the statement and the event) a new worker is started and the
// session replayed up to just before the fatal statement; or, if the user asks, started empty.
// Host's thread; stop() any thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/transcript.h"
#include "worker_link.h"

namespace nelk_host_tool {

class served_session {
public:
    // output: the server's transcript; must outlive the session. workerCommand: the worker's
    // program and arguments. timeoutSeconds: how long a statement may take.
    served_session(transcript& output, std::vector<std::string> workerCommand, double timeoutSeconds);
    ~served_session();
    served_session(const served_session&) = delete;
    served_session& operator=(const served_session&) = delete;

    bool start(std::string& problem);
    // Statements, named ORIGIN:LINE; a scenario file. True when everything held.
    bool runText(const std::string& origin, const std::string& text);
    bool runFile(const std::string& path);
    // The panels (state_json.h), with "recovery" when the session was cut short.
    nlohmann::ordered_json state();
    // The session as a scenario file's text.
    std::string scenario();
    // Reloads the libraries whose files changed (--watch).
    void watch();
    // Whether the host's clock owes the worker real time now: it runs and a timer on it is due
    // (the worker says when with every result). An idle server asks nothing before.
    bool clockDue(std::chrono::steady_clock::time_point now) const;
    // How long from `now` until then, within `longest` (and `longest` when no timer is due).
    std::chrono::milliseconds untilDue(std::chrono::steady_clock::time_point now, std::chrono::milliseconds longest) const;
    // The real time since the last tick, handed to the host's clock (unless paused): the worker
    // advances it as an `advance` statement, which the session keeps for replays and saving.
    void tick();
    // The user's choice after a failure, which the session already came back from by replaying:
    // the session again from its requests up to before the fatal statement (`replay`), or from
    // nothing. Either way the failure is no longer shown.
    bool recover(bool replay);
    // Ends a wait for the worker at once, for good; any thread.
    void stop() { worker_.stop(); }
    // Deletes the instances as a host does, and ends the worker; false (after saying why) when a
    // deletion hung or crashed.
    bool finish();

private:
    struct request {
        std::string op;      // "run" or "file"
        std::string origin;  // statements' names ("request-3"), or the file
        std::string text;    // the statements, or the file's path
    };
    // Where a request of the log lies in its file: the log is kept on disk, so that a session of
    // large statements does not grow the server.
    struct logged {
        std::string op;
        std::string origin;
        long offset;
        std::size_t length;
    };
    struct failure {
        std::string message;    // what happened, with the culprit
        std::string statement;  // the fatal statement as typed
        std::string where;      // and where it stood
        bool byTheClock = false;  // in the clock's tick: a timer's event
    };
    // Hands one request to the worker, relaying its events when `relay`.
    worker_link::exchange send(const request& asked, bool relay);
    // The verdict of a request the user made: a failure is reported and the session recovered.
    bool judged(const worker_link::exchange& answer, const request& asked);
    void failed(const worker_link::exchange& answer, const request& asked);
    // A failure in words, with the culprit: `in` says where ("in `timer Q 1`"), `seconds` the
    // time a hang was given.
    std::string describe(const worker_link::exchange& answer, const std::string& in, double seconds) const;
    // Replays the log in a new worker: nullopt when all of it ran, or the index of the request that
    // failed (0 when no worker could be started), with `why`.
    std::optional<std::size_t> replayLog(std::string& why);
    // After a failure in a timer's event: the clock paused in the replayed session.
    void pauseClockAfterFailure();
    // A request of the server's own (the watch, the clock), whose failure is reported as any.
    worker_link::exchange idleRequest(const nlohmann::ordered_json& message, const std::string& origin);
    // A new worker with the session replayed (`replay`) or empty; the failure stays shown. A
    // replay that fails keeps what came before the failing request; false then.
    bool rebuild(bool replay);

    transcript& output_;
    worker_link worker_;
    double timeoutSeconds_;
    void remember(const request& asked);
    request recalled(const logged& entry);

    std::vector<logged> log_;           // what built the session, in order
    std::FILE* logFile_;                // the texts of log_
    std::optional<failure> failure_;    // the last failure, until the user chooses
    nlohmann::ordered_json statement_;  // the last statement event of the request in progress
    nlohmann::ordered_json delivery_;   // and its last delivery
    // The clock as the worker last told it: running, and when its next timer falls due.
    void noteClock(const worker_link::exchange& answer);
    bool clockRunning_ = false;
    bool timerDue_ = false;
    std::chrono::steady_clock::time_point dueAt_;
    std::chrono::steady_clock::time_point lastTick_ = std::chrono::steady_clock::now();
};

}  // namespace nelk_host_tool
