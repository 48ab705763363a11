// nelk-host validate LIBRARY...: the validator's battery of checks, with its options read
// strictly and its reports written.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "command_line.h"
#include "host/call_timing.h"
#include "reports/call_trace.h"
#include "process/private_files.h"
#include "process/executable_path.h"
#include "validator/validator.h"
#if !defined(_WIN32)
#include "validator/isolation.h"
#endif

namespace nelk_host_tool {

namespace {

// validate's options; the validator's own hold the defaults. The numbers are taken as typed and
// read strictly (CLI11 would take "1e300" or "nan").
struct validate_options {
    nelk_validator::validator_options checks;
    report_options reports;
    bool list = false;
    std::string seed;
    std::string iterations;
    std::string timeout;
    std::string runCheck;    // the child's side of --memcheck: the check to run
    std::string reportFile;  // and where it reports
    std::string callBudget;  // as typed
    std::string trace;       // --trace FILE
    std::string tracePart;   // the child's side of --memcheck: the trace to append to
};

// A whole number up to `high`, written in plain decimal and nothing else.
bool readWhole(const std::string& text, unsigned long long high, unsigned long long& value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long long result = 0;
    for (const char digit : text) {
        const unsigned long long next = result * 10 + static_cast<unsigned long long>(digit - '0');
        if (result > (~0ULL - 9) / 10 && next / 10 != result) return false;  // past 64 bits
        result = next;
    }
    if (result > high) return false;
    value = result;
    return true;
}

// Reads the numbers as typed into `checks`; false with a readable `problem` for anything but a
// number in range.
bool readNumbers(validate_options& options, std::string& problem) {
    nelk_validator::validator_options& checks = options.checks;
    unsigned long long value = 0;
    if (!options.seed.empty()) {
        if (!readWhole(options.seed, ~0ULL, value)) {
            problem = "--seed " + options.seed + ": give a whole number from 0 to 18446744073709551615";
            return false;
        }
        checks.seed = value;
        checks.seedGiven = true;
    }
    if (!options.iterations.empty()) {
        if (!readWhole(options.iterations, 100000000, value) || value == 0) {
            problem = "--iterations " + options.iterations + ": give a whole number from 1 to 100000000";
            return false;
        }
        checks.iterations = static_cast<int>(value);
    }
    double budget = callBudget();
    if (!options.callBudget.empty() && !readCallBudget("--call-budget", options.callBudget, budget, problem)) return false;
    setCallBudget(budget);
    return options.timeout.empty() || readSeconds("--timeout", options.timeout, checks.timeoutSeconds, problem);
}

// The options checked and their paths made absolute, before any component runs; false with
// `problem` (exit status 2) when they cannot be used.
bool settledOptions(validate_options& options, std::string& problem) {
    nelk_validator::validator_options& checks = options.checks;
    if (checks.libraries.empty()) problem = "validate needs at least one library";
    if (problem.empty()) nelk_validator::knownIds(checks, problem);
    if (problem.empty()) prepareReports(options.reports, problem);
#if !defined(_WIN32)
    if (problem.empty() && checks.memcheck && !nelk_validator::memcheckAvailable())
        problem = "--memcheck needs valgrind (Debian: apt-get install valgrind)";
#endif
    if (!problem.empty()) return false;
    std::error_code ignored;
    if (checks.saveFailures.empty()) return true;
#if defined(_WIN32)
    problem = "--save-failures needs checks in processes of their own, which Windows has not";
    return false;
#else
    if (checks.inProcess) {
        problem = "--save-failures needs checks in processes of their own: leave out --in-process";
        return false;
    }
    checks.saveFailures = std::filesystem::absolute(checks.saveFailures, ignored).string();
    // The scenarios go where only this user writes: another could plant links there, or files
    // the shrinking would run.
    if (!ownFolder(checks.saveFailures, problem)) {
        problem = "--save-failures: " + problem;
        return false;
    }
    return true;
#endif
}

int runValidation(validate_options& options, const host_options& host, const char* program) {
    nelk_validator::validator_options& checks = options.checks;
    std::string problem;
    if (!readNumbers(options, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    checks.json = checks.json || host.json;  // "nelk-host --json validate ..." too
    checks.quiet = host.quiet;
    if (checks.json && checks.quiet) {
        std::fprintf(stderr, "nelk-host: --json and --quiet exclude each other\n");
        return 2;
    }
    if (!options.runCheck.empty()) {
        if (!options.tracePart.empty()) traceCallsTo(options.tracePart, options.runCheck + " under valgrind");
        nelk_validator::runCheckChild(checks, options.runCheck, options.reportFile);
    }
    if (options.list) {
        std::printf("%s", nelk_validator::checkList().c_str());
        return 0;
    }
    if (!settledOptions(options, problem) ||
        (!options.trace.empty() && !beginCallTrace(options.trace, "nelk-host validate", problem))) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    // The libraries are not opened here: what they do when opened is the first check's matter,
    // in a process of its own.
    checks.program = program;
    checks.executable = executablePath();
    checks.coverage = options.reports.coverage;
    checks.notApplicable = options.reports.notApplicable;
    std::vector<nelk_validator::check_result> results;
    int status = nelk_validator::runValidator(checks, &results);
    if (!writeJunitReport(options.reports, validationSuites(results)) && status == 0) status = 1;
    // The validator prints the table itself, inside its report.
    const int coverage = reportCoverage(options.reports, checks.json, false);
    if (!finishCallTrace(problem)) {
        std::fprintf(stderr, "nelk-host: --trace: %s\n", problem.c_str());
        if (status == 0) status = 1;
    }
    // Everything is written: the process ends here, so that an exit handler a library left
    // behind (it was unloaded long ago) cannot take the status or the output with it.
    std::fflush(nullptr);
    std::_Exit(status > coverage ? status : coverage);
}

}  // namespace

subcommand addValidateCommand(CLI::App& app, host_options& host, const char* program) {
    auto options = std::make_shared<validate_options>();
    nelk_validator::validator_options& checks = options->checks;
    CLI::App* validate = app.add_subcommand("validate", "run the validator's checks against component libraries (docs/validator.md)");
    validate->add_option("libraries", checks.libraries, "component libraries")->check(CLI::ExistingFile);
    validate->add_flag("--list", options->list, "list the checks and what each guarantees");
    validate->add_flag("--json", checks.json, "the report as one JSON document");
    validate->add_flag("--quiet", host.quiet, "only the checks that did not pass, and the summary");
    // One value an occurrence, so that a library after the list is not taken for a check id.
    validate->add_option("--only", checks.only, "run only these check ids (a list with commas, or the option again)")
        ->delimiter(',')
        ->allow_extra_args(false);
    validate->add_option("--skip", checks.skip, "leave these check ids out (a list with commas, or the option again)")
        ->delimiter(',')
        ->allow_extra_args(false);
    validate->add_option("--seed", options->seed, "seed of the random values (printed when not given)");
    validate->add_option("--iterations", options->iterations,
                         "events of the random storm (default " + std::to_string(checks.iterations) + ")");
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", checks.timeoutSeconds);
    validate->add_option("--timeout", options->timeout,
                         std::string("seconds before a check is reported TIMEOUT (default ") + timeout + ")");
    validate->add_flag("--in-process", checks.inProcess, "run every check in this process (for a debugger)");
    validate->add_flag("--memcheck", checks.memcheck, "run every check's process under valgrind memcheck");
    validate->add_flag("--strict", checks.strict, "a WARN fails the run too");
    validate->add_option("--save-failures", checks.saveFailures,
                         "write a minimal scenario that fails the same way for every failed check into this folder");
    addReportOptions(*validate, options->reports, "check and library");
    validate->add_option("--run-check", options->runCheck)->group("");  // the child's side of --memcheck
    validate->add_option("--report-file", options->reportFile)->group("");
    validate->add_option("--trace-part", options->tracePart)->group("");
    addTimingOptions(*validate, options->callBudget, options->trace);
    return {validate, [&host, options, program] { return runValidation(*options, host, program); }};
}

}  // namespace nelk_host_tool
