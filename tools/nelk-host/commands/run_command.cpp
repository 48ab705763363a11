// nelk-host run FILE...: scenario files, each on a fresh host, with reports for CI.
#include <chrono>
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "guarded_host.h"

namespace nelk_host_tool {

namespace {

struct run_options {
    std::vector<std::string> files;
    bool strict = false;  // a statement during which the host warned fails
    report_options reports;
};

// Every file starts from a fresh host: no instances, slots or delivery mode carried over.
int runFiles(host_options& host, const run_options& run) {
    if (!prepared(host)) return 2;
    std::string problem;
    if (!reportsAvailable(run.reports, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    const guarded_run guard(host);
    int status = 0;
    junit_suite suite{"nelk-host run", {}};
    suite.cases.reserve(run.files.size());  // the transcripts' listeners hold on to the cases
    for (const std::string& file : run.files) {
        host_session session(host);
        session.runner.setStrict(run.strict);
        suite.cases.push_back(junit_case{});
        junit_case& result = suite.cases.back();
        result.name = file;
        collectScenarioCase(session.output, result);
        const auto started = std::chrono::steady_clock::now();
        const statement_result outcome = session.runner.runFile(file);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        finishScenarioCase(result, outcome, took.count());
        const int fileStatus = exitStatus(outcome);
        if (fileStatus > status) status = fileStatus;
    }
    if (!writeJunitReport(run.reports, {suite}) && status == 0) status = 1;
    const int coverage = reportCoverage(run.reports, host.json);
    return status > coverage ? status : coverage;
}

}  // namespace

subcommand addRunCommand(CLI::App& app, host_options& host) {
    auto options = std::make_shared<run_options>();
    CLI::App* run = app.add_subcommand("run", "run scenario files (docs/nelk-host.md)");
    addHostOptions(*run, host);
    run->add_option("files", options->files, "scenario files")->required()->check(CLI::ExistingFile);
    run->add_flag("--strict", options->strict, "a statement during which the host warned (layout, created control...) fails");
    addReportOptions(*run, options->reports, "scenario file");
    run->footer(statementFooter());
    return {run, [&host, options] { return runFiles(host, *options); }};
}

}  // namespace nelk_host_tool
