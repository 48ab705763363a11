// What the subcommands of nelk-host share on the command line: the host options (host_options.h)
// that every subcommand running a host takes before or after its name, the report options of run
// and validate, and the statements' help. Each subcommand lives in a file of its own with an options struct whose defaults are the
// only ones, and adds itself to the command line with add*Command. Main thread, which is the
// host's thread.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "runner/host_options.h"
#include "reports/run_reports.h"

namespace nelk_host_tool {

// A subcommand as main() runs it: the parsed subcommand (owned by the CLI::App) and what runs it,
// returning the exit status: 0 passed, 1 failed, 2 usage or load error.
struct subcommand {
    CLI::App* parsed;
    std::function<int()> run;
};

void addHostOptions(CLI::App& command, host_options& options);
// --call-budget and --trace, as typed, into the strings given (which must outlive the parse).
void addTimingOptions(CLI::App& command, std::string& callBudget, std::string& trace);
// --junit, --protocol-coverage, --protocol-coverage-min and --not-applicable, with the case of a
// JUnit report named (`what`).
void addReportOptions(CLI::App& command, report_options& reports, const char* what);
// "Statements of a scenario (docs/nelk-host.md):" and their usage lines.
std::string statementFooter();

// The subcommands, each in its own file; `host` is main's, shared by all.
subcommand addRunCommand(CLI::App& app, host_options& host);
subcommand addReplCommand(CLI::App& app, host_options& host);
subcommand addServeCommand(CLI::App& app, host_options& host);
subcommand addServeWorkerCommand(CLI::App& app, host_options& host);
subcommand addValidateCommand(CLI::App& app, host_options& host, const char* program);
subcommand addNewCommand(CLI::App& app);
subcommand addPackCommand(CLI::App& app);
subcommand addDeployCommand(CLI::App& app);

}  // namespace nelk_host_tool
