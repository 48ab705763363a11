// The validator's battery of checks. Each runs against one component library and is
// independent of the others, so it can run in a child process of its own. The table and its
// texts are static; a check runs on the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/call_timing.h"

namespace nelk_validator {

enum class check_status { pass, fail, skip, warn, crashed, timeout };
constexpr int checkStatusCount = 6;

// Whether the status fails a run: FAIL, CRASHED and TIMEOUT.
constexpr bool isFailure(check_status status) noexcept {
    return status == check_status::fail || status == check_status::crashed || status == check_status::timeout;
}

struct check_outcome {
    check_outcome(check_status status, std::string reason) : status(status), reason(std::move(reason)) {}
    check_status status;
    std::string reason;  // one line
    std::string stack;   // a crash's (or a hang's) symbolized stack, one frame a line, when there is one
    std::string output;  // what the check's process wrote to standard output and error, an excerpt
    // The verdict stands only if the process then ends cleanly through exit(), running the exit
    // handlers the library left behind (a check of its own process only).
    bool endWithExit = false;
    // The slowest calls into the component during the check, slowest first (host/call_timing.h);
    // filled by whoever ran the check, not by the check itself.
    std::vector<nelk_host_tool::timed_call> slowCalls;
    bool stoppedForTime = false;  // ended early, the calls being over the budget (check_stopped)
};

// Thrown by a subject between calls when its calls went over the budget often enough that the
// check would take far too long: runHere() turns it into a PASS stopped for time, which the
// validator reports as a WARN of the slow calls.
struct check_stopped {};
// Calls over the budget after which a check stops.
constexpr int slowCallsBeforeStop = 3;

struct check_settings {
    std::string library;
    std::uint64_t seed;
    int iterations;         // for the random storm
    std::string recordTo;   // where the subjects write what they do, to make a scenario of it; "": nowhere
    bool inProcess = false; // run in the validator's own process: checks that need one of their own skip
    std::string scratch;    // a folder a check may work in; the validator removes it when the run ends. "": none
    std::string package;    // the folder a package was unpacked into, `library` being in it; "": a library alone
};

struct check {
    const char* id;         // stable, kebab-case
    const char* guarantee;  // what passing it guarantees, one line
    check_outcome (*run)(const check_settings&);
};

// All checks, in the order they run: each file of checks' own table, one after the other.
const std::vector<check>& allChecks();
// The tables of the files of checks, by their concern: lifecycle_checks.cpp (loading, creation,
// deletion), protocol_checks.cpp (lines, answers, calls), robustness_checks.cpp (hostile input,
// leaks, storms). A new check is a function and a row in one of them.
const std::vector<check>& lifecycleChecks();
const std::vector<check>& protocolChecks();
const std::vector<check>& robustnessChecks();
const std::vector<check>& processChecks();

const char* statusName(check_status status);

// Runs one check here, in this process; an exception that escapes it is a crash.
check_outcome runHere(const check& each, const check_settings& settings);

}  // namespace nelk_validator
