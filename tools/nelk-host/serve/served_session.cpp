#include "served_session.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "host_rules.h"

namespace nelk_host_tool {

namespace {

// The first `count` lines of `text`.
std::string firstLines(const std::string& text, int count) {
    std::istringstream lines(text);
    std::string kept;
    std::string line;
    for (int i = 0; i < count && std::getline(lines, line); ++i) kept += line + "\n";
    return kept;
}

}  // namespace

served_session::served_session(transcript& output, std::vector<std::string> workerCommand, double timeoutSeconds)
    : output_(output), worker_(std::move(workerCommand)), timeoutSeconds_(timeoutSeconds), logFile_(std::tmpfile()) {}

served_session::~served_session() {
    if (logFile_ != nullptr) std::fclose(logFile_);
}

void served_session::remember(const request& asked) {
    if (logFile_ == nullptr) return;  // no file for it: nothing can be replayed
    std::fseek(logFile_, 0, SEEK_END);
    const long offset = std::ftell(logFile_);
    std::fwrite(asked.text.data(), 1, asked.text.size(), logFile_);
    std::fflush(logFile_);
    log_.push_back({asked.op, asked.origin, offset, asked.text.size()});
}

served_session::request served_session::recalled(const logged& entry) {
    request asked{entry.op, entry.origin, std::string(entry.length, '\0')};
    std::fseek(logFile_, entry.offset, SEEK_SET);
    if (std::fread(&asked.text[0], 1, entry.length, logFile_) != entry.length) asked.text.clear();
    return asked;
}

bool served_session::start(std::string& problem) { return worker_.start(problem); }

worker_link::exchange served_session::send(const request& asked, bool relay) {
    statement_ = nullptr;
    delivery_ = nullptr;
    const nlohmann::ordered_json message = asked.op == "file"
                                               ? nlohmann::ordered_json{{"op", "file"}, {"path", asked.text}}
                                               : nlohmann::ordered_json{{"op", "run"}, {"origin", asked.origin}, {"text", asked.text}};
    const worker_link::exchange answer = worker_.ask(message, timeoutSeconds_, [&](const nlohmann::ordered_json& event) {
        const std::optional<transcript_event> kind = eventKind(event);
        if (kind == transcript_event::statement) statement_ = event;
        if (kind == transcript_event::deliver) delivery_ = event;
        if (relay) output_.relay(event);
    });
    noteClock(answer);
    return answer;
}

bool served_session::judged(const worker_link::exchange& answer, const request& asked) {
    if (answer.how == worker_link::outcome::done) return answer.result.verdict == 1;
    if (answer.how != worker_link::outcome::stopped) failed(answer, asked);
    return false;
}

std::string served_session::describe(const worker_link::exchange& answer, const std::string& in, double seconds) const {
    if (answer.how == worker_link::outcome::ended) return answer.ending + in;
    if (answer.how == worker_link::outcome::hung) {
        const std::string instance = delivery_.is_object() ? delivery_.value("instance", "") : "";
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", seconds);
        return "the component" + (instance.empty() ? std::string() : " " + nelk_test_kit::escaped(instance)) + " hung" + in +
               ": no result after " + limit + " s" +
               (delivery_.is_object() ? "; the last event delivered was kind " + std::to_string(delivery_.value("kind", 0)) + " " +
                                            delivery_.value("what", "") + " to " + instance
                                      : "");
    }
    return "the worker process ended with " + answer.status + in + " without a word of why";
}

void served_session::failed(const worker_link::exchange& answer, const request& asked) {
    const std::string where = statement_.is_object() ? statement_.value("where", asked.origin) : asked.origin;
    const std::string statement = statement_.is_object() ? statement_.value("text", "") : "";
    const std::string in = statement.empty() ? "" : " in `" + nelk_test_kit::escaped(statement, true) + "`";
    const std::string message = describe(answer, in, timeoutSeconds_);
    output_.error(where, message);
    failure_ = failure{message, statement, where, asked.op == "idle" && asked.origin == "the clock"};
    // What the failing request did before its fatal statement stays part of the session (a
    // file's statements cannot be cut short, so a failing file is left out whole).
    if (!log_.empty() && log_.back().origin == asked.origin && asked.op == "run") {
        const std::size_t colon = where.rfind(':');
        const int line = colon == std::string::npos ? 0 : std::atoi(where.c_str() + colon + 1);
        log_.pop_back();
        remember(request{"run", asked.origin, firstLines(asked.text, line > 0 ? line - 1 : 0)});
    } else if (!log_.empty() && log_.back().origin == asked.origin && asked.op == "file") {
        log_.pop_back();
    }
    rebuild(true);
}

std::optional<std::size_t> served_session::replayLog(std::string& why) {
    std::string problem;
    if (!worker_.start(problem)) {
        why = "cannot start a new worker: " + problem;
        output_.error("serve", why);
        return std::size_t(0);
    }
    for (std::size_t index = 0; index < log_.size(); ++index) {
        const worker_link::exchange answer = send(recalled(log_[index]), false);
        if (answer.how == worker_link::outcome::done) continue;
        why = answer.how == worker_link::outcome::hung ? "it hung"
              : answer.how == worker_link::outcome::ended ? answer.ending
                                                         : "the worker ended with " + answer.status;
        return index;
    }
    return std::nullopt;
}

bool served_session::recover(bool replay) {
    const bool rebuilt = rebuild(replay);
    failure_.reset();
    return rebuilt;
}

bool served_session::rebuild(bool replay) {
    if (!replay) log_.clear();
    const std::optional<failure> cut = failure_;
    bool whole = true;
    // A replay that fails at a request keeps every request before it: the session is replayed
    // again up to there (each round shorter, so this ends), and the user is told which and why.
    for (;;) {
        std::string why;
        const std::optional<std::size_t> failedAt = replayLog(why);
        if (!failedAt) break;
        whole = false;
        const std::size_t kept = std::min(*failedAt, log_.size());
        const std::string origin = kept < log_.size() ? log_[kept].origin : "the start";
        output_.error("serve", "the replay failed at request " + std::to_string(kept + 1) + " of " +
                                   std::to_string(log_.size()) + " (" + nelk_test_kit::escaped(origin) + "): " + why +
                                   "; the session is replayed up to just before it");
        if (kept >= log_.size() || log_.empty()) {
            log_.clear();
            std::string problem;
            worker_.start(problem);
            break;
        }
        log_.resize(kept);
    }
    output_.note("", !replay ? "a new worker started the session empty"
                             : "a new worker replayed the session's " + std::to_string(log_.size()) + " requests" +
                                   (whole ? ", up to just before the statement that failed" : ""));
    failure_ = cut;
    // A failure that a timer's event brought (the clock's tick) would come back at the next tick
    // of the replayed session, and so on for ever: the clock stays paused until the user runs it.
    if (replay && cut && cut->byTheClock) pauseClockAfterFailure();
    return whole;
}

void served_session::pauseClockAfterFailure() {
    const request pausing{"run", "recovery", "clock pause"};
    if (send(pausing, true).how != worker_link::outcome::done) return;
    remember(pausing);
    output_.note("", "the clock is paused: a timer's event failed, and would fail again at once; run the clock, or "
                     "step it, when the component is mended");
    if (failure_) failure_->message += "; the clock is paused";
}

bool served_session::runText(const std::string& origin, const std::string& text) {
    tick();  // the clock catches up with real time first, as a host's would have
    const request asked{"run", origin, text};
    remember(asked);
    return judged(send(asked, true), asked);
}

bool served_session::runFile(const std::string& path) {
    tick();
    const request asked{"file", path, path};
    remember(asked);
    return judged(send(asked, true), asked);
}

nlohmann::ordered_json served_session::state() {
    nlohmann::ordered_json state;
    const worker_link::exchange answer = worker_.ask({{"op", "state"}}, timeoutSeconds_, [](const nlohmann::ordered_json&) {});
    if (answer.how == worker_link::outcome::done) state = answer.result.detail.value("state", nlohmann::ordered_json());
    if (!state.is_object()) state = nlohmann::ordered_json::object();
    if (failure_)
        state["recovery"] = {{"message", failure_->message}, {"statement", failure_->statement}, {"where", failure_->where}};
    return state;
}

std::string served_session::scenario() {
    const worker_link::exchange answer = worker_.ask({{"op", "scenario"}}, timeoutSeconds_, [](const nlohmann::ordered_json&) {});
    return answer.how == worker_link::outcome::done ? answer.result.detail.value("scenario", "") : std::string();
}

void served_session::watch() { idleRequest({{"op", "watch"}}, "watch"); }

bool served_session::clockDue(std::chrono::steady_clock::time_point now) const {
    return clockRunning_ && timerDue_ && now >= dueAt_;
}

std::chrono::milliseconds served_session::untilDue(std::chrono::steady_clock::time_point now,
                                                  std::chrono::milliseconds longest) const {
    if (!clockRunning_ || !timerDue_) return longest;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(dueAt_ - now) + std::chrono::milliseconds(1);
    return std::clamp(left, std::chrono::milliseconds(1), longest);
}

void served_session::noteClock(const worker_link::exchange& answer) {
    if (answer.how != worker_link::outcome::done) return;
    clockRunning_ = answer.result.detail.value("running", false);
    const long long due = answer.result.detail.value("due", -1LL);
    timerDue_ = due >= 0;
    if (timerDue_) dueAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(due);
}

void served_session::tick() {
    const auto now = std::chrono::steady_clock::now();
    const long long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTick_).count();
    lastTick_ = now;
    if (!clockRunning_ || elapsed <= 0) return;
    const worker_link::exchange answer = idleRequest({{"op", "tick"}, {"ms", elapsed}}, "the clock");
    // What the clock did is part of the session, as the statement the worker ran.
    const long long advanced = answer.how == worker_link::outcome::done ? answer.result.detail.value("advanced", 0LL) : 0;
    for (long long left = advanced; left > 0; left -= 86400000) {  // as the worker ran it: a day at most a statement
        const long long step = left < 86400000 ? left : 86400000;
        remember(request{"run", "clock", "advance " + std::to_string(step) + "ms"});
    }
}

worker_link::exchange served_session::idleRequest(const nlohmann::ordered_json& message, const std::string& origin) {
    statement_ = nullptr;
    delivery_ = nullptr;
    const worker_link::exchange answer = worker_.ask(message, timeoutSeconds_, [&](const nlohmann::ordered_json& event) {
        const std::optional<transcript_event> kind = eventKind(event);
        if (kind == transcript_event::statement) statement_ = event;
        if (kind == transcript_event::deliver) delivery_ = event;
        output_.relay(event);
    });
    noteClock(answer);
    if (answer.how != worker_link::outcome::done && answer.how != worker_link::outcome::stopped)
        failed(answer, request{"idle", origin, ""});
    return answer;
}

bool served_session::finish() {
    statement_ = nullptr;
    delivery_ = nullptr;
    const double grace = 2;
    const worker_link::exchange answer = worker_.finish(grace, [this](const nlohmann::ordered_json& event) {
        if (eventKind(event) == transcript_event::deliver) delivery_ = event;
        output_.relay(event);
    });
    if (answer.how == worker_link::outcome::done || answer.how == worker_link::outcome::stopped) return true;
    // A deletion that hangs or crashes at the end is the component's last fault: said, not hidden
    // behind a clean exit.
    output_.error("serve", describe(answer, " while the instances were deleted at the end", grace));
    return false;
}

}  // namespace nelk_host_tool
