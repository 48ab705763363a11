// nelk-host run FILE...: scenario files, each on a fresh host, with reports for CI.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "runner/scenario_host.h"
#include "runner/isolated_file.h"
#include "runner/scenario_file.h"
#include "runner/drift_report.h"
#include "runner/statement_watchdog.h"
#if !defined(_WIN32)
#include "runner/sanitizer_preload.h"
#endif
#include "process/adopted_children.h"
#include "process/process_guard.h"

namespace nelk_host_tool {

namespace {

struct run_options {
    std::vector<std::string> files;
    bool strict = false;        // a statement during which the host warned fails
    double timeoutSeconds = 10;  // a statement that has not finished by then ends its file
    std::string timeout;         // as typed
    bool inProcess = false;      // every file in this process (for a debugger; on Windows always)
    std::string drift;           // a tap trace to compare with the model, in place of the files
    report_options reports;
};

// The files in this process (asked for, or Windows, which has no fork): a crash ends the run (the
// guard says where), and a watchdog ends it when a statement hangs.
file_outcome runFileHere(const host_options& host, const std::string& file, bool strict, double timeoutSeconds) {
    const guarded_run guard(host);
    statement_watchdog watchdog(timeoutSeconds, host.style(), host.colour(), "the run cannot go on");
    return runScenarioFile(host, file, strict,
                           [&](const std::string& where, const std::string& line) { watchdog.begins(where, line); });
}

// What the components of `file` started and left running (a helper of a session of its own,
// which ending the file's process did not reach) is ended now, and said, rather than keep the
// run's output open after it ends.
void endOutlivers(const host_options& host, const std::string& file) {
    const std::vector<std::string> outlived = endAdoptedChildren();
    if (outlived.empty()) return;
    std::string names;
    for (const std::string& each : outlived) names += (names.empty() ? "" : ", ") + each;
    transcript said(ownOutput(), host.style(), host.colour());
    said.warning(file, "processes a component started outlived the file's run and were ended: " + names);
}

// Every file starts from a fresh host: no instances, slots or delivery mode carried over. A file
// that crashes or hangs fails, and the run goes on; the report holds every file that ran.
int runFiles(host_options& host, run_options& run) {
    if (!prepared(host, "nelk-host run")) return 2;
    std::string problem;
    if ((!run.timeout.empty() && !readSeconds("--timeout", run.timeout, run.timeoutSeconds, problem)) ||
        !prepareReports(run.reports, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    if (!run.drift.empty()) {
        if (!run.files.empty()) {
            std::fprintf(stderr, "nelk-host: --drift replays one trace: give no scenario files with it\n");
            return 2;
        }
        return reportDrift(host, run.drift);
    }
    if (run.files.empty()) {
        std::fprintf(stderr, "nelk-host: run needs scenario files (or --drift TRACE)\n");
        return 2;
    }
#if !defined(_WIN32)
    if (!restartWithSanitizersFor(librariesOfRun(host.library, run.files))) return 2;
#endif
    int status = 0;
    junit_suite suite{"nelk-host run", {}};
    coverage_counts covered;
    adoptOrphans();
    for (const std::string& file : run.files) {
#if defined(_WIN32)
        file_outcome outcome = runFileHere(host, file, run.strict, run.timeoutSeconds);
#else
        file_outcome outcome = run.inProcess ? runFileHere(host, file, run.strict, run.timeoutSeconds)
                                             : runFileIsolated(host, file, run.strict, run.timeoutSeconds);
#endif
        endOutlivers(host, file);
        covered.merge(outcome.coverage);
        suite.cases.push_back(std::move(outcome.junit));
        const int fileStatus = exitStatus(outcome.result);
        if (fileStatus > status) status = fileStatus;
    }
    processCoverage() = covered;
    if (!writeJunitReport(run.reports, {suite}) && status == 0) status = 1;
    const int coverage = reportCoverage(run.reports, host.json);
    return status > coverage ? status : coverage;
}

}  // namespace

subcommand addRunCommand(CLI::App& app, host_options& host) {
    auto options = std::make_shared<run_options>();
    CLI::App* run = app.add_subcommand("run", "run scenario files (docs/nelk-host.md)");
    addHostOptions(*run, host);
    run->add_option("files", options->files, "scenario files")->check(CLI::ExistingFile);
    run->add_option("--drift", options->drift,
                    "replay a tap trace with nelk-host's own answers, slot events and timers in place of the recorded "
                    "host's, and list where they differ (status 1 when they do)")
        ->check(CLI::ExistingFile);
    run->add_flag("--strict", options->strict, "a statement during which the host warned (layout, created control...) fails");
    run->add_flag("--in-process", options->inProcess,
                  "run the files in this process, for a debugger (a crash or a hang then ends the run)");
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", options->timeoutSeconds);
    run->add_option("--timeout", options->timeout,
                    std::string("seconds a statement may take before its file fails as hung (default ") + timeout + ")");
    addReportOptions(*run, options->reports, "scenario file");
    run->footer(statementFooter());
    return {run, [&host, options] { return runFiles(host, *options); }};
}

}  // namespace nelk_host_tool
