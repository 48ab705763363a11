// nelk-host: a headless panel host for component libraries.
//   nelk-host                  the built-in demo on the Corvane library it ships with
//   nelk-host run FILE...      run scenario files
//   nelk-host repl [LIBRARY]   type statements interactively
//   nelk-host serve [FILE...]  the panels in a browser
//   nelk-host validate LIB...  the validator's battery of checks
//   nelk-host new NAME [DIR]   a new component project
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "executable_path.h"
#include "host_commands.h"
#include "live_session.h"
#include "project_template.h"
#include "protocol_coverage.h"
#include "statements.h"
#include "validate_command.h"

using namespace nelk_host_tool;

namespace {

// The options of every subcommand that runs a host, on `command` (each subcommand lists them in
// its own help).
void addHostOptions(CLI::App& command, host_options& options) {
    command.add_flag("--json", options.json, "one JSON object per event");
    command.add_flag("--quiet", options.quiet, "errors only");
    command.add_flag("--immediate", options.immediate, "deliver slot events from inside hostSend (nested calls)");
    command.add_flag("--no-colour,--no-color", options.noColour, "no colour even on a terminal");
    command.add_option("--library", options.library, "the component library that loads use by default")
        ->capture_default_str();
}

// --junit, --coverage and --coverage-min, which run and validate share.
void addReportOptions(CLI::App& command, report_options& reports, const char* what) {
    command.add_option("--junit", reports.junitFile, std::string("write a JUnit XML report, a test case per ") + what);
    command.add_flag("--coverage", reports.coverage, "print which kinds, verbs, answers and edge cases the run exercised");
    command.add_option("--coverage-min", reports.coverageMin, "fail when fewer protocol items than this were exercised")
        ->check(CLI::Range(0, coverageItems));
}

std::string statementFooter() { return "Statements of a scenario (docs/nelk-host.md):\n" + statementHelp(); }

int newProject(const std::string& name, std::string folder) {
    if (folder.empty()) folder = name;
    std::string problem;
    if (!writeProject(name, folder, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    std::printf("made the component project %s in %s; build and test it with\n"
                "  cmake -S %s -B %s/build -DCMAKE_PREFIX_PATH=%s\n"
                "  cmake --build %s/build && ctest --test-dir %s/build\n",
                name.c_str(), folder.c_str(), folder.c_str(), folder.c_str(), installPrefix().c_str(), folder.c_str(),
                folder.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"nelk-host: a headless panel host that loads component libraries.\n"
                 "Without a subcommand it runs the built-in demo on the Corvane library it ships with.",
                 "nelk-host"};
    app.allow_windows_style_options(false);  // "/path/to/file" is a path, also on Windows
    host_options options;
    options.library = defaultComponentLibrary();
    addHostOptions(app, options);

    CLI::App* run = app.add_subcommand("run", "run scenario files (docs/nelk-host.md)");
    addHostOptions(*run, options);
    run_options runs;
    run->add_option("files", runs.files, "scenario files")->required()->check(CLI::ExistingFile);
    run->add_flag("--strict", runs.strict, "a statement during which the host warned (layout, created control...) fails");
    addReportOptions(*run, runs.reports, "scenario file");
    run->footer(statementFooter());

    CLI::App* repl = app.add_subcommand("repl", "type scenario statements interactively");
    addHostOptions(*repl, options);
    std::string replLibrary;
    repl_options prompt;
    prompt.historyFile = defaultHistoryFile();
    repl->add_option("library", replLibrary, "the component library that loads use by default");
    repl->add_flag("--watch", prompt.watch, "reload a library whose file changed, before the next statement");
    repl->add_option("--history", prompt.historyFile,
                     "where typed lines are kept (default $NELK_HOST_HISTORY or ~/.nelk-host_history)");
    repl->footer(statementFooter() + "Session commands:\n" + live_session::commandHelp());

    CLI::App* serve = app.add_subcommand("serve", "draw the panels in a browser and drive them (docs/serve.md)");
    addHostOptions(*serve, options);
    std::vector<std::string> serveFiles;
    std::string serveBind = "127.0.0.1";
    int servePort = 6355;
    bool serveWatch = false;
    serve->add_option("files", serveFiles, "scenario files to run first (their instances stay); none: the demo")
        ->check(CLI::ExistingFile);
    serve->add_option("--port", servePort, "the port to listen on; 0 takes a free one")->capture_default_str()->check(CLI::Range(0, 65535));
    serve->add_option("--bind", serveBind, "the address to listen on (another than loopback is reachable from other machines)")
        ->capture_default_str();
    serve->add_flag("--watch", serveWatch, "reload a library whose file changed");
    serve->footer(statementFooter() + "Session commands:\n" + live_session::commandHelp());

    CLI::App* validate = app.add_subcommand("validate", "run the validator's checks against component libraries (docs/validator.md)");
    nelk_validator::validator_options checks;
    bool listChecks = false;
    validate->add_option("libraries", checks.libraries, "component libraries")->check(CLI::ExistingFile);
    validate->add_flag("--list", listChecks, "list the checks and what each guarantees");
    validate->add_flag("--json", checks.json, "the report as one JSON document");
    // One value an occurrence, so that a library after the list is not taken for a check id.
    validate->add_option("--only", checks.only, "run only these check ids (a list with commas, or the option again)")
        ->delimiter(',')
        ->allow_extra_args(false);
    validate->add_option("--skip", checks.skip, "leave these check ids out (a list with commas, or the option again)")
        ->delimiter(',')
        ->allow_extra_args(false);
    validate_texts values;
    validate->add_option("--seed", values.seed, "seed of the random values (printed when not given)");
    validate->add_option("--iterations", values.iterations, "events of the random storm (default 20000)");
    validate->add_option("--timeout", values.timeout, "seconds before a check is reported TIMEOUT (default 10)");
    validate->add_flag("--in-process", checks.inProcess, "run every check in this process (for a debugger)");
    validate->add_flag("--memcheck", checks.memcheck, "run every check's process under valgrind memcheck");
    report_options validateReports;
    addReportOptions(*validate, validateReports, "check and library");
    std::string runCheck;
    std::string reportFile;
    validate->add_option("--run-check", runCheck)->group("");  // the child's side of --memcheck
    validate->add_option("--report-file", reportFile)->group("");

    CLI::App* create = app.add_subcommand("new", "make a component project that builds against this package (docs/first-component.md)");
    std::string newName;
    std::string newFolder;
    create->add_option("name", newName, "the component's name, a C++ identifier such as Tally")->required();
    create->add_option("folder", newFolder, "the folder to make (default: NAME); it must not exist");

    // Set last: a subcommand added after them would take them over.
    app.footer(statementFooter());
    app.set_help_all_flag("--help-all", "the help of every subcommand");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::string command = "nelk-host";
        for (const CLI::App* each : app.get_subcommands()) command += " " + each->get_name();
        std::fprintf(stderr, "nelk-host: %s (see %s --help)\n", error.what(), command.c_str());
        return 2;
    }
    if (*create) return newProject(newName, newFolder);
    if (*validate) {
        std::string problem;
        if (!readValidateOptions(values, checks, problem)) {
            std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
            return 2;
        }
        checks.json = checks.json || options.json;  // "nelk-host --json validate ..." too
        if (!runCheck.empty()) nelk_validator::runCheckChild(checks, runCheck, reportFile);
        return runValidation(checks, validateReports, listChecks, argv[0]);
    }
    // Library paths are absolute from here on: the load text they give (their folder) and the
    // scenarios a session saves are then the same from any working directory.
    options.library = resolvedLibraryPath("", options.library);
    if (!replLibrary.empty()) options.library = resolvedLibraryPath("", replLibrary);
    if (options.json && options.quiet) {
        std::fprintf(stderr, "nelk-host: --json and --quiet exclude each other\n");
        return 2;
    }
    if (*run) return runFiles(options, runs);
    if (*serve) return runServeCommand(options, serveFiles, serveBind, servePort, serveWatch);
    if (*repl) return runPrompt(options, prompt);
    return runDemo(options);
}
