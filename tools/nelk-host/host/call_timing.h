// How long every call into a component kept the host's thread: a host's user interface does not
// respond while a call runs. A call's time is what it took on the clock less the host's own time
// inside it (hostSend, component_time.h) and less the time the thread waited for a processor
// (where Linux tells it), so that a machine busy with other work does not make a component slow.
// Each process keeps the slowest outermost calls of its host's thread, judges each outermost call
// against the budget, and, when asked, writes every call (nested ones too) as a trace event to a
// file that the tools merge into a Chrome trace (reports/call_trace.h). Settings: main thread,
// before calls; the rest: the thread that makes the calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace nelk_host_tool {

// The budget of one outermost call, in seconds; 0: none. Default 0.05. Process-wide; forked
// children keep it.
void setCallBudget(double seconds);
double callBudget();
// The budget as the tools say it ("50 ms").
std::string budgetText(double seconds);
// A budget typed for `option`: milliseconds ("50", "2.5") or a duration with its unit ("50ms",
// "1s"); "0" or "off": none. False with `problem` saying what is wrong.
bool readCallBudget(const std::string& option, const std::string& text, double& seconds, std::string& problem);

// From now on every call of this process is written to `path` (appended, one JSON object a
// line, a line in one write so that processes can share it), its process named `processName`;
// "" stops. A forked child keeps writing there under its own process id; traceProcessName()
// renames it.
void traceCallsTo(const std::string& path, const std::string& processName);
void traceProcessName(const std::string& processName);
const std::string& tracePath();

// What calls of the current thread are made for, kept with the slow ones and in the trace: the
// statement under way (run, serve, the fuzzer), "" when none.
void callsBelongTo(const std::string& statement);

// One outermost call.
struct timed_call {
    std::string call;       // as the process guard names the event ("kind 5 control ... to P")
    std::string statement;  // what reproduces it, one statement a line; "" when unknown
    double seconds = 0;     // the component's time, as above
};

// Times one call into a component for its lifetime (component_calls.cpp). `event` must outlive it.
class call_clock {
public:
    explicit call_clock(const std::string& event);
    explicit call_clock(std::string&&) = delete;  // a temporary would not outlive the clock
    ~call_clock();
    call_clock(const call_clock&) = delete;
    call_clock& operator=(const call_clock&) = delete;

private:
    const std::string& event_;
    double begin_;          // the steady clock, seconds
    double componentBegin_; // componentSeconds() then
    double waitedBegin_;    // the thread's wait for a processor then
};

// The time of the outermost call that ended last on this thread when it went over the budget,
// once: a second take, or a take after a call within it, finds nothing.
std::optional<double> takeCallOverBudget();
// Whether the outermost call that ended last went over the budget and is among the slowest kept:
// then nameLastCall() sets what reproduces it, for a caller that knows it only after the call
// (the validator's subjects), and need not work it out for the many calls that are quick.
bool lastCallNeedsName();
void nameLastCall(const std::string& statement);

// The slowest outermost calls of this thread so far, slowest first, at most `keptCalls`; the
// values are copies. forgetCalls() starts over (a check run in the validator's own process).
// One call is kept once, at its slowest.
constexpr std::size_t keptCalls = 5;
std::vector<timed_call> slowestCalls();
// How many outermost calls of the process went over the budget so far.
int callsOverBudget();
void forgetCalls();

// The calls as JSON ({"call", "statement", "ms"} each), for a child's result and the reports, and
// back; entries that are not such objects are left out.
nlohmann::ordered_json timedCallsJson(const std::vector<timed_call>& calls);
std::vector<timed_call> timedCallsFrom(const nlohmann::json& calls);

// Whether this process runs under valgrind, where every call is many times slower: the budget
// judges nothing there (the trace still records).
bool underValgrind();

// "kind 5 control ... took 312 ms, over the 50 ms budget": the call, its time and the budget.
std::string describeSlowCall(const timed_call& call, double budget);

}  // namespace nelk_host_tool
