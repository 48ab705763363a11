#include "runner/isolated_file.h"

#include <chrono>
#include <cstdio>

#include <unistd.h>

#include "host/component_time.h"
#include "runner/scenario_host.h"
#include "host_rules.h"
#include "process/child_report.h"
#include "process/child_result.h"
#include "process/process_guard.h"
#include "process/supervised_child.h"

namespace nelk_host_tool {

namespace {

// The child's report, for the guard's reporter (which runs in a signal handler).
child_report* reporting = nullptr;

void copyText(char* into, std::size_t size, const std::string& text) {
    into[0] = '\0';
    nelk_process_guard::append(into, size, text.c_str());
}

void keepEnding(const nelk_process_guard::ending& end) {
    nelk_process_guard::appendEnding(reporting->ending, sizeof reporting->ending, end);
    reporting->ended = 1;
}

nlohmann::ordered_json caseJson(const junit_case& result) {
    return {{"message", result.message},
            {"details", result.details},
            {"output", result.output},
            {"seconds", result.seconds},
            {"outcome", static_cast<int>(result.outcome)}};
}

// The child: the file with the guard armed, then its result into the report and its end; the
// guard is disarmed by then (its own _exit is not the component's).
[[noreturn]] void runChild(const host_options& host, const std::string& file, bool strict, double timeoutSeconds,
                          child_report& report) {
    reporting = &report;
    child_result result;
    {
        const guarded_run guard(host, "the run goes on with the next file", keepEnding);
        nelk_process_guard::keepEventIn(report.event, sizeof report.event);
        // Progress is a statement begun, or a line carried out while the component is within its
        // time: the host's own time carrying out a flood of lines is not the component's.
        countHostCallsWithin(&report.progress, timeoutSeconds);
        const file_outcome outcome = runScenarioFile(host, file, strict, [&](const std::string& where, const std::string& line) {
            copyText(report.where, sizeof report.where, where);
            copyText(report.line, sizeof report.line, line);
            componentStatementBegins();
            report.progress = report.progress + 1;
        });
        result.verdict = static_cast<int>(outcome.result);
        result.coverage = outcome.coverage.numbers();
        result.detail = caseJson(outcome.junit);
    }
    result.writeInto(report);
    std::fflush(nullptr);
    _exit(0);
}

// The outcome the child left; false when it left none.
bool readOutcome(const child_report& report, file_outcome& outcome) {
    const std::optional<child_result> result = child_result::readFrom(report);
    if (!result || !result->detail.is_object()) return false;
    outcome.result = static_cast<statement_result>(result->verdict);
    outcome.junit.message = result->detail.value("message", "");
    outcome.junit.details = result->detail.value("details", "");
    outcome.junit.output = result->detail.value("output", "");
    outcome.junit.seconds = result->detail.value("seconds", 0.0);
    outcome.junit.outcome = static_cast<junit_case::verdict>(result->detail.value("outcome", 1));
    outcome.coverage = coverage_counts::fromNumbers(result->coverage);
    return true;
}

// The file failed with `message` (said here when the child could not say it).
void failed(file_outcome& outcome, const std::string& message, double seconds) {
    outcome.result = statement_result::failed;
    outcome.junit.outcome = junit_case::verdict::error;
    outcome.junit.message = message;
    outcome.junit.details = message + "\n";
    outcome.junit.seconds = seconds;
}

}  // namespace

file_outcome runFileIsolated(const host_options& host, const std::string& file, bool strict, double timeoutSeconds) {
    file_outcome outcome;
    outcome.junit.name = file;
    outcome.junit.className = "scenario";
    transcript said(stdout, host.style(), host.colour());
    std::string problem;
    std::unique_ptr<report_file> shared = report_file::create(problem);
    supervised_child child;
    if (!shared || !child.startFunction([&] { runChild(host, file, strict, timeoutSeconds, shared->report()); }, problem)) {
        failed(outcome, file + ": nelk-host cannot make the file's process: " + problem, 0);
        said.error(file, outcome.junit.message);
        return outcome;
    }
    const auto started = std::chrono::steady_clock::now();
    const child_report& report = shared->report();
    const child_ending watched = child.wait(timeoutSeconds, 0, &report.progress);
    const child_ending ending = child.end();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string where = report.where[0] != '\0' ? report.where : file;
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", timeoutSeconds);
    if (watched.how == child_ending::way::hung) {
        const std::string event = report.event;
        failed(outcome,
               where + ": the component hung in `" + nelk_test_kit::escaped(report.line, true) + "`: no result after " + limit +
                   " s" + (event.empty() ? "" : "; the last event delivered was " + event) + "; the run goes on with the next file",
               seconds);
        said.error(where, outcome.junit.message.substr(where.size() + 2));
    } else if (report.ended) {
        failed(outcome, where + ": " + report.ending + "; the run goes on with the next file", seconds);  // the child said it
    } else if (!readOutcome(report, outcome)) {
        failed(outcome, where + ": the file's process " + ending.sentence() + " before it could report", seconds);
        said.error(where, outcome.junit.message.substr(where.size() + 2));
    }
    return outcome;
}

}  // namespace nelk_host_tool
