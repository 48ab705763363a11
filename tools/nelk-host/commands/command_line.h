// What the subcommands of nelk-host share: the host options that every subcommand running a host
// takes (before or after its name), the report options of run and validate, and the statements'
// help. Each subcommand lives in a file of its own with an options struct whose defaults are the
// only ones, and adds itself to the command line with add*Command. Main thread, which is the
// host's thread.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "host/delivery_queue.h"
#include "host/transcript.h"
#include "reports/run_reports.h"

namespace nelk_host_tool {

// The options every host subcommand takes.
struct host_options {
    bool json = false;
    bool quiet = false;
    bool immediate = false;
    bool noColour = false;
    std::string library;  // what "load" uses when it names none; made absolute by prepared()

    transcript_style style() const {
        return json ? transcript_style::json : quiet ? transcript_style::quiet : transcript_style::readable;
    }
    delivery_mode mode() const { return immediate ? delivery_mode::immediate : delivery_mode::queued; }
    bool colour() const;  // on a terminal, unless --no-colour
};

// A subcommand as main() runs it: the parsed subcommand (owned by the CLI::App) and what runs it,
// returning the exit status: 0 passed, 1 failed, 2 usage or load error.
struct subcommand {
    CLI::App* parsed;
    std::function<int()> run;
};

void addHostOptions(CLI::App& command, host_options& options);
// --junit, --protocol-coverage, --protocol-coverage-min and --not-applicable, with the case of a
// JUnit report named (`what`).
void addReportOptions(CLI::App& command, report_options& reports, const char* what);
// "Statements of a scenario (docs/nelk-host.md):" and their usage lines.
std::string statementFooter();

// A number of seconds as typed for `option`, read strictly: from 0.001 to 86400, nothing else
// ("nan", "1e300" and "5s" are refused). False with `problem` saying so.
bool readSeconds(const std::string& option, const std::string& text, double& seconds, std::string& problem);

// The host options checked and made ready before a host runs: the library path absolute (so the
// load texts and saved scenarios are the same from any folder). False, with a message on
// standard error, when they exclude each other.
bool prepared(host_options& options);

// The subcommands, each in its own file; `host` is main's, shared by all.
subcommand addRunCommand(CLI::App& app, host_options& host);
subcommand addReplCommand(CLI::App& app, host_options& host);
subcommand addServeCommand(CLI::App& app, host_options& host);
subcommand addServeWorkerCommand(CLI::App& app, host_options& host);
subcommand addValidateCommand(CLI::App& app, host_options& host, const char* program);
subcommand addNewCommand(CLI::App& app);
// Without a subcommand: the built-in demo.
int runDemo(host_options& host);

}  // namespace nelk_host_tool
