#include "command_line.h"

#include "host/protocol_coverage.h"
#include "process/executable_path.h"
#include "scenario/statements.h"

namespace nelk_host_tool {

void addHostOptions(CLI::App& command, host_options& options) {
    command.add_flag("--json", options.json, "one JSON object per event");
    command.add_flag("--quiet", options.quiet, "warnings and errors only, each error with the statement it failed");
    command.add_flag("--immediate", options.immediate, "deliver slot events from inside hostSend (nested calls)");
    command.add_flag("--no-colour,--no-color", options.noColour, "no colour even on a terminal");
    command.add_option("--library", options.library, "the component library that loads use by default")
        ->capture_default_str();
    addTimingOptions(command, options.callBudget, options.trace);
}

void addTimingOptions(CLI::App& command, std::string& callBudget, std::string& trace) {
    command.add_option("--call-budget", callBudget,
                       "the time one call into a component may keep the host's thread before it is a warning: "
                       "milliseconds, or with a unit (50ms, 1s); off for none (default 50)");
    command.add_option("--trace", trace,
                       "write a timeline of every call into a component to FILE, in Chrome's trace event format "
                       "(ui.perfetto.dev, chrome://tracing)");
}

void addReportOptions(CLI::App& command, report_options& reports, const char* what) {
    command.add_option("--junit", reports.junitFile, std::string("write a JUnit XML report, a test case per ") + what);
    command.add_flag("--protocol-coverage", reports.coverage,
                     "print which kinds, verbs, answers and edge cases of the protocol the run exercised (not code coverage)");
    command.add_option("--protocol-coverage-min", reports.coverageMin,
                       "fail when fewer applicable protocol items than this were exercised")
        ->check(CLI::Range(0, coverageItems));
    command.add_option("--not-applicable", reports.notApplicable,
                       "protocol items the component never reaches by design, by id (verb-IR,TG-text,...)")
        ->delimiter(',')
        ->allow_extra_args(false);
    // The names these had before; kept so that existing CI lines go on working.
    command.add_flag("--coverage", reports.coverage)->group("");
    command.add_option("--coverage-min", reports.coverageMin)->group("")->check(CLI::Range(0, coverageItems));
}

std::string statementFooter() { return "Statements of a scenario (docs/nelk-host.md):\n" + statementHelp(); }

}  // namespace nelk_host_tool
