#include "call_timing.h"

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <nlohmann/json.hpp>

#include "component_time.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#endif

namespace nelk_host_tool {

namespace {

std::atomic<double> budget{0.05};

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

#if defined(__linux__)
int threadId() { return static_cast<int>(syscall(SYS_gettid)); }

// Forks so far: a forked child's thread is not its parent's, and must open its own file.
std::atomic<int> forks{0};
void countFork() { ++forks; }

// The seconds this thread waited on a run queue so far: the second field of its schedstat
// (nanoseconds). 0 where the kernel does not keep it. The file is opened once per thread.
double waitedForProcessor() {
    static const bool counting = pthread_atfork(nullptr, nullptr, countFork) == 0;
    thread_local int file = -2;
    thread_local int openedAt = -1;  // the forks counted when it was opened
    if (file == -2 || openedAt != forks.load(std::memory_order_relaxed)) {
        if (file >= 0) close(file);
        file = counting ? open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC) : -1;
        openedAt = forks.load();
    }
    if (file < 0) return 0;
    char text[96];
    const ssize_t got = pread(file, text, sizeof text - 1, 0);
    if (got <= 0) return 0;
    text[got] = '\0';
    char* rest = nullptr;
    std::strtoull(text, &rest, 10);
    return static_cast<double>(std::strtoull(rest, nullptr, 10)) / 1e9;
}
#else
int threadId() { return 1; }
double waitedForProcessor() { return 0; }
#endif

int processId() {
#if defined(_WIN32)
    return 1;
#else
    return static_cast<int>(getpid());
#endif
}

// The slowest outermost calls of the process, slowest first; `floor` is the slowest time that
// no longer makes the list once it is full, read without the lock.
struct kept_calls {
    std::mutex lock;
    std::vector<timed_call> calls;
    std::atomic<double> floor{-1};  // -1 until the list is full
};
kept_calls& kept() {
    static kept_calls* calls = new kept_calls;  // outlives the exit handlers of a check's process
    return *calls;
}

struct trace_file {
    std::mutex lock;
    std::string path;
    std::FILE* file = nullptr;
};
trace_file& trace() {
    static trace_file* file = new trace_file;
    return *file;
}
std::atomic<bool> tracing{false};
std::atomic<int> overBudget{0};

void writeTraceLine(const nlohmann::json& event) {
    const std::string line = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    trace_file& out = trace();
    const std::lock_guard<std::mutex> hold(out.lock);
    if (out.file == nullptr) return;
#if defined(_WIN32)
    std::fwrite(line.data(), 1, line.size(), out.file);
    std::fflush(out.file);
#else
    // One write of the whole line to a file opened for appending: lines of several processes
    // do not mix.
    const ssize_t written = ::write(fileno(out.file), line.data(), line.size());
    (void)written;
#endif
}

thread_local int depth = 0;
thread_local std::string belongsTo;
thread_local bool lastOver = false;
thread_local double lastSeconds = 0;
thread_local bool lastKept = false;
thread_local std::string lastEvent;

// Keeps `call` if it is among the slowest; true when kept.
bool keep(const timed_call& call) {
    kept_calls& all = kept();
    const std::lock_guard<std::mutex> hold(all.lock);
    const auto same = std::find_if(all.calls.begin(), all.calls.end(),
                                   [&](const timed_call& each) { return each.call == call.call; });
    if (same != all.calls.end()) {
        if (same->seconds >= call.seconds) return false;
        all.calls.erase(same);
    }
    auto at = std::find_if(all.calls.begin(), all.calls.end(),
                           [&](const timed_call& each) { return each.seconds < call.seconds; });
    if (at == all.calls.end() && all.calls.size() >= keptCalls) return false;
    all.calls.insert(at, call);
    if (all.calls.size() > keptCalls) all.calls.pop_back();
    if (all.calls.size() >= keptCalls) all.floor.store(all.calls.back().seconds);
    return true;
}

}  // namespace

void setCallBudget(double seconds) { budget.store(seconds); }
double callBudget() { return budget.load(); }

std::string budgetText(double seconds) {
    char text[48];
    if (seconds < 1)
        std::snprintf(text, sizeof text, "%.3g ms", seconds * 1000);
    else
        std::snprintf(text, sizeof text, "%.3g s", seconds);
    return text;
}

bool readCallBudget(const std::string& option, const std::string& text, double& seconds, std::string& problem) {
    if (text == "off" || text == "0") {
        seconds = 0;
        return true;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    const double number = text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ? -1 : std::strtod(begin, &end);
    const std::string unit = end != nullptr ? std::string(end) : "";
    const double scale = unit.empty() || unit == "ms" ? 0.001 : unit == "s" ? 1 : 0;
    if (!(number > 0) || !std::isfinite(number) || scale == 0 || number * scale > 3600) {
        problem = option + " takes milliseconds (\"50\", \"2.5ms\"), seconds with their unit (\"1s\") up to an hour, or "
                  "\"off\"; not \"" + text + "\"";
        return false;
    }
    seconds = number * scale;
    return true;
}

void traceCallsTo(const std::string& path, const std::string& processName) {
    trace_file& out = trace();
    {
        const std::lock_guard<std::mutex> hold(out.lock);
        if (out.file != nullptr) std::fclose(out.file);
        out.file = path.empty() ? nullptr : std::fopen(path.c_str(), "ab");
        out.path = out.file != nullptr ? path : "";
        tracing.store(out.file != nullptr);
    }
    if (out.file != nullptr) traceProcessName(processName);
}

void traceProcessName(const std::string& processName) {
    if (!tracing.load()) return;
    writeTraceLine({{"name", "process_name"}, {"ph", "M"}, {"pid", processId()}, {"args", {{"name", processName}}}});
}

const std::string& tracePath() { return trace().path; }

void callsBelongTo(const std::string& statement) { belongsTo = statement; }

call_clock::call_clock(const std::string& event)
    : event_(event), begin_(now()), componentBegin_(componentSeconds()), waitedBegin_(waitedForProcessor()) {
    ++depth;
}

call_clock::~call_clock() {
    const double wall = now() - begin_;
    const double waited = waitedForProcessor() - waitedBegin_;
    // Inside a call the host's time is what its hostSend took; the component's is the rest,
    // less what the processor was away.
    const double seconds = std::max(0.0, componentSeconds() - componentBegin_ - waited);
    --depth;
    if (tracing.load()) {
        const std::string name = event_.size() > 160 ? event_.substr(0, 157) + "..." : event_;
        nlohmann::json args = {{"component ms", std::round(seconds * 1e6) / 1e3}};
        if (!belongsTo.empty()) args["statement"] = belongsTo;
        writeTraceLine({{"name", name}, {"cat", depth == 0 ? "call" : "nested call"}, {"ph", "X"},
                        {"ts", std::llround(begin_ * 1e6)}, {"dur", std::llround(wall * 1e6)}, {"pid", processId()},
                        {"tid", threadId()}, {"args", args}});
    }
    if (depth != 0) return;
    lastSeconds = seconds;
    const double limit = underValgrind() ? 0 : budget.load();
    lastOver = limit > 0 && seconds > limit;
    if (lastOver) ++overBudget;
    lastKept = seconds > kept().floor.load() && keep(timed_call{event_, belongsTo, seconds});
    if (lastKept) lastEvent = event_;
}

std::optional<double> takeCallOverBudget() {
    if (!lastOver) return std::nullopt;
    lastOver = false;
    return lastSeconds;
}

bool lastCallNeedsName() { return lastKept && lastOver; }

void nameLastCall(const std::string& statements) {
    if (!lastKept) return;
    // A statement with a huge text is cut: the list goes into a child's bounded result.
    constexpr std::size_t longest = 600;
    const std::string statement = statements.size() <= longest
                                      ? statements
                                      : statements.substr(0, longest) + "... (cut, " + std::to_string(statements.size()) + " bytes)";
    kept_calls& all = kept();
    const std::lock_guard<std::mutex> hold(all.lock);
    for (timed_call& each : all.calls) {
        if (each.call == lastEvent && each.seconds == lastSeconds) each.statement = statement;
    }
}

std::vector<timed_call> slowestCalls() {
    kept_calls& all = kept();
    const std::lock_guard<std::mutex> hold(all.lock);
    return all.calls;
}

int callsOverBudget() { return overBudget.load(); }

void forgetCalls() {
    overBudget.store(0);
    kept_calls& all = kept();
    const std::lock_guard<std::mutex> hold(all.lock);
    all.calls.clear();
    all.floor.store(-1);
}

nlohmann::ordered_json timedCallsJson(const std::vector<timed_call>& calls) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const timed_call& each : calls)
        list.push_back({{"call", each.call}, {"statement", each.statement}, {"ms", std::round(each.seconds * 1e6) / 1e3}});
    return list;
}

std::vector<timed_call> timedCallsFrom(const nlohmann::json& calls) {
    std::vector<timed_call> list;
    if (!calls.is_array()) return list;
    for (const nlohmann::json& each : calls) {
        if (!each.is_object() || !each.contains("call") || !each["call"].is_string() || !each.contains("ms") ||
            !each["ms"].is_number())
            continue;
        list.push_back({each["call"].get<std::string>(), each.value("statement", ""), each["ms"].get<double>() / 1000});
    }
    return list;
}

bool underValgrind() {
    static const bool under = [] {
        const char* preload = std::getenv("LD_PRELOAD");
        return preload != nullptr && std::string(preload).find("vgpreload") != std::string::npos;
    }();
    return under;
}

std::string describeSlowCall(const timed_call& call, double limit) {
    std::string text = call.call + " took " + budgetText(call.seconds);
    if (limit > 0 && call.seconds > limit) text += ", over the " + budgetText(limit) + " budget of a call";
    return text;
}

}  // namespace nelk_host_tool
