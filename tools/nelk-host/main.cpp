// nelk-host: a headless panel host for component libraries.
//   nelk-host                 the built-in demo on the Corvane library beside this program
//   nelk-host run FILE...     run scenario files
//   nelk-host repl [LIBRARY]  type statements interactively
//   nelk-host validate LIB... the validator's battery of checks
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "component_library.h"
#include "demo_scenario.h"
#include "executable_path.h"
#include "process_guard.h"
#include "repl.h"
#include "scenario.h"
#include "simulator.h"
#include "transcript.h"
#include "validator/validator.h"
#if defined(NELK_HAVE_SERVE)
#include "serve/serve_command.h"
#endif
#if !defined(_WIN32)
#include "validator/isolation.h"
#endif

using namespace nelk_host_tool;

namespace {

// The options every host subcommand shares.
struct host_options {
    bool json = false;
    bool quiet = false;
    bool immediate = false;
    bool noColour = false;
    std::string library = defaultComponentLibrary();

    transcript_style style() const {
        return json ? transcript_style::json : quiet ? transcript_style::quiet : transcript_style::readable;
    }
    delivery_mode mode() const { return immediate ? delivery_mode::immediate : delivery_mode::queued; }
};

int exitStatus(statement_result result) {
    switch (result) {
    case statement_result::ok: return 0;
    case statement_result::load_failed: return 2;
    case statement_result::failed:
    case statement_result::malformed: return 1;
    }
    return 1;
}

// Says at the statement that ran, in the transcript's own form, that the component ended the
// process; runs inside a signal handler or an exit function.
bool jsonTranscript = false;

void componentEndedTheRun(const nelk_process_guard::ending& end) {
    using nelk_process_guard::append;
    char text[2048] = "the component ";
    append(text, sizeof text, end.what);
    if (end.fault[0] != '\0') {
        append(text, sizeof text, ": ");
        append(text, sizeof text, end.fault);
    }
    if (end.event[0] != '\0') {
        append(text, sizeof text, " during ");
        append(text, sizeof text, end.event);
    }
    append(text, sizeof text, "; the run cannot go on");
    const char* where = end.where[0] != '\0' ? end.where : "nelk-host";
    char line[4096] = "";
    if (jsonTranscript) {
        append(line, sizeof line, "{\"event\":\"error\",\"where\":\"");
        nelk_process_guard::appendJson(line, sizeof line, where);
        append(line, sizeof line, "\",\"text\":\"");
        nelk_process_guard::appendJson(line, sizeof line, text);
        append(line, sizeof line, "\"}\n");
    } else {
        append(line, sizeof line, where);
        append(line, sizeof line, ": error: ");
        append(line, sizeof line, text);
        append(line, sizeof line, "\n");
    }
    nelk_process_guard::writeAll(1, line);
}

// While it lives, a component that crashes or ends the process ends the run with status 1 (or
// its signal) and a message at the statement it happened in.
struct guarded_run {
    explicit guarded_run(const host_options& options) {
        jsonTranscript = options.json;
        nelk_process_guard::install(componentEndedTheRun, 1);
        nelk_process_guard::arm(true);
    }
    ~guarded_run() { nelk_process_guard::arm(false); }
    guarded_run(const guarded_run&) = delete;
    guarded_run& operator=(const guarded_run&) = delete;
};

// A library that cannot be loaded, or has no entry, is a usage error reported before anything
// runs.
bool loadable(const std::string& library) {
    nelk_test_kit::component_library probe(library);
    if (probe.loaded()) return true;
    std::fprintf(stderr, "nelk-host: %s\n", probe.error().c_str());
    return false;
}

// A host with its transcript and scenario runner, as the demo, the prompt and each scenario
// file use one.
struct host_session {
    transcript output;
    simulator host;
    scenario_runner runner;
    explicit host_session(const host_options& options)
        : output(stdout, options.style(), isTerminal(1) && !options.noColour),
          host(output, options.mode()),
          runner(host, output, options.library) {}
};

int runDemo(const host_options& options) {
    if (!loadable(options.library)) return 2;
    const guarded_run guard(options);
    host_session session(options);
    const int status = exitStatus(session.runner.runText("demo", demoScenario(options.library)));
    if (status == 0 && options.style() == transcript_style::readable)
        std::printf("demo finished: both panels showed the slot's text\n");
    return status;
}

// Every file starts from a fresh host: no instances, slots or delivery mode carried over.
int runFiles(const host_options& options, const std::vector<std::string>& files) {
    const guarded_run guard(options);
    int status = 0;
    for (const std::string& file : files) {
        host_session session(options);
        const int fileStatus = exitStatus(session.runner.runFile(file));
        if (fileStatus > status) status = fileStatus;
    }
    return status;
}

int runPrompt(const host_options& options, const repl_options& prompt) {
    if (!loadable(options.library)) return 2;
    const guarded_run guard(options);
    transcript output(stdout, options.style(), isTerminal(1) && !options.noColour);
    live_session session(output, options.library, options.mode());
    return runRepl(session, prompt);
}

// A whole number from `low` to `high`, written in plain decimal and nothing else.
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

// The values of validate's options, read strictly: a readable message for anything else.
struct validate_texts {
    std::string seed;
    std::string iterations;
    std::string timeout;
};

bool readValidateOptions(const validate_texts& texts, nelk_validator::validator_options& checks, std::string& problem) {
    unsigned long long value = 0;
    if (!texts.seed.empty()) {
        if (!readWhole(texts.seed, ~0ULL, value)) {
            problem = "--seed " + texts.seed + ": give a whole number from 0 to 18446744073709551615";
            return false;
        }
        checks.seed = value;
        checks.seedGiven = true;
    }
    if (!texts.iterations.empty()) {
        if (!readWhole(texts.iterations, 100000000, value) || value == 0) {
            problem = "--iterations " + texts.iterations + ": give a whole number from 1 to 100000000";
            return false;
        }
        checks.iterations = static_cast<int>(value);
    }
    if (!texts.timeout.empty()) {
        char* end = nullptr;
        const double seconds = std::strtod(texts.timeout.c_str(), &end);
        if (end == texts.timeout.c_str() || *end != '\0' || !(seconds >= 0.001 && seconds <= 86400)) {
            problem = "--timeout " + texts.timeout + ": give a number of seconds from 0.001 to 86400";
            return false;
        }
        checks.timeoutSeconds = seconds;
    }
    return true;
}

int runValidation(nelk_validator::validator_options checks, bool listChecks, bool json, const char* program) {
    if (listChecks) {
        std::printf("%s", nelk_validator::checkList().c_str());
        return 0;
    }
    std::string problem;
    if (checks.libraries.empty()) problem = "validate needs at least one library";
    if (problem.empty()) nelk_validator::knownIds(checks, problem);
#if !defined(_WIN32)
    if (problem.empty() && checks.memcheck && !nelk_validator::memcheckAvailable())
        problem = "--memcheck needs valgrind (Debian: apt-get install valgrind)";
#endif
    if (!problem.empty()) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    // The libraries are not opened here: what they do when opened is the first check's matter,
    // in a process of its own.
    checks.json = json;
    checks.program = program;
    checks.executable = executablePath();
    return nelk_validator::runValidator(checks);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"nelk-host: a headless panel host that loads component libraries.\n"
                 "Without a subcommand it runs the built-in demo on the Corvane library beside it.\n"
                 "The scenario language and the transcript are described in docs/nelk-host.md.",
                 "nelk-host"};
    app.fallthrough();
    app.allow_windows_style_options(false);  // "/path/to/file" is a path, also on Windows
    host_options options;
    app.add_flag("--json", options.json, "one JSON object per event");
    app.add_flag("--quiet", options.quiet, "errors only");
    app.add_flag("--immediate", options.immediate, "deliver slot events from inside hostSend (nested calls)");
    app.add_flag("--no-colour,--no-color", options.noColour, "no colour even on a terminal");
    app.add_option("--library", options.library, "the component library that loads use by default")->capture_default_str();

    CLI::App* run = app.add_subcommand("run", "run scenario files (docs/nelk-host.md)");
    std::vector<std::string> files;
    run->add_option("files", files, "scenario files")->required()->check(CLI::ExistingFile);

    CLI::App* repl = app.add_subcommand("repl", "type scenario statements interactively");
    std::string replLibrary;
    repl_options prompt;
    prompt.historyFile = defaultHistoryFile();
    repl->add_option("library", replLibrary, "the component library that loads use by default");
    repl->add_flag("--watch", prompt.watch, "reload a library whose file changed, before the next statement");
    repl->add_option("--history", prompt.historyFile, "where typed lines are kept (default $NELK_HOST_HISTORY or ~/.nelk-host_history)");

    CLI::App* serve = app.add_subcommand("serve", "draw the panels in a browser and drive them (docs/serve.md)");
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

    CLI::App* validate = app.add_subcommand("validate", "run the validator's checks against component libraries");
    nelk_validator::validator_options checks;
    bool listChecks = false;
    validate->add_option("libraries", checks.libraries, "component libraries")->check(CLI::ExistingFile);
    validate->add_flag("--list", listChecks, "list the checks and what each guarantees");
    validate->add_option("--only", checks.only, "run only these check ids (several, or one list with commas)")->delimiter(',');
    validate->add_option("--skip", checks.skip, "leave these check ids out")->delimiter(',');
    validate_texts values;
    validate->add_option("--seed", values.seed, "seed of the random values (printed when not given)");
    validate->add_option("--iterations", values.iterations, "events of the random storm (default 20000)");
    validate->add_option("--timeout", values.timeout, "seconds before a check is reported TIMEOUT (default 10)");
    validate->add_flag("--in-process", checks.inProcess, "run every check in this process (for a debugger)");
    validate->add_flag("--memcheck", checks.memcheck, "run every check's process under valgrind memcheck");
    std::string runCheck;
    std::string reportFile;
    validate->add_option("--run-check", runCheck)->group("");  // the child's side of --memcheck
    validate->add_option("--report-file", reportFile)->group("");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s\nStatements of a scenario:\n%s", app.help().c_str(), statementHelp().c_str());
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        std::printf("%s", app.help("", CLI::AppFormatMode::All).c_str());
        return 0;
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "nelk-host: %s (see nelk-host --help)\n", error.what());
        return 2;
    }
    // Library paths are absolute from here on: the load text they give (their folder) and the
    // scenarios a session saves are then the same from any working directory.
    options.library = resolvedLibraryPath("", options.library);
    if (!replLibrary.empty()) replLibrary = resolvedLibraryPath("", replLibrary);
    if (options.json && options.quiet) {
        std::fprintf(stderr, "nelk-host: --json and --quiet exclude each other\n");
        return 2;
    }
    if (*validate) {
        std::string problem;
        if (!readValidateOptions(values, checks, problem)) {
            std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
            return 2;
        }
        if (!runCheck.empty()) nelk_validator::runCheckChild(checks, runCheck, reportFile);
        return runValidation(checks, listChecks, options.json, argv[0]);
    }
    if (*run) return runFiles(options, files);
    if (*serve) {
#if defined(NELK_HAVE_SERVE)
        if (serveFiles.empty() && !loadable(options.library)) return 2;
        const guarded_run guard(options);
        serve_options served;
        served.files = serveFiles;
        served.library = options.library;
        served.bind = serveBind;
        served.port = servePort;
        served.watch = serveWatch;
        served.style = options.style();
        served.colour = isTerminal(1) && !options.noColour;
        served.mode = options.mode();
        return runServe(served);
#else
        std::fprintf(stderr, "nelk-host: serve is not built into this nelk-host (it needs Debian's cpp-httplib, which this "
                             "platform's build does not have); run it from a Linux build\n");
        return 2;
#endif
    }
    if (*repl) {
        if (!replLibrary.empty()) options.library = replLibrary;
        return runPrompt(options, prompt);
    }
    return runDemo(options);
}
