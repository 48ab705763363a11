#include "host_commands.h"

#include <chrono>
#include <cstdio>

#include "component_library.h"
#include "demo_scenario.h"
#include "executable_path.h"
#include "live_session.h"
#include "process_guard.h"
#include "scenario.h"
#include "simulator.h"
#if defined(NELK_HAVE_SERVE)
#include "serve/serve_command.h"
#endif

namespace nelk_host_tool {

namespace {

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
    char text[2048] = "";
    nelk_process_guard::appendEnding(text, sizeof text, end);
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

bool colourFor(const host_options& options) { return isTerminal(1) && !options.noColour; }

// A host with its transcript and scenario runner, as the demo and each scenario file use one.
struct host_session {
    transcript output;
    simulator host;
    scenario_runner runner;
    explicit host_session(const host_options& options)
        : output(stdout, options.style(), colourFor(options)),
          host(output, options.mode()),
          runner(host, output, options.library) {}
};

}  // namespace

int runDemo(const host_options& options) {
    if (!loadable(options.library)) return 2;
    const guarded_run guard(options);
    host_session session(options);
    const int status = exitStatus(session.runner.runText("demo", demoScenario(options.library)));
    if (status == 0 && options.style() == transcript_style::readable)
        std::printf("demo finished: both panels showed the slot's text\n");
    return status;
}

int runFiles(const host_options& options, const run_options& run) {
    std::string problem;
    if (!reportsAvailable(run.reports, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    const guarded_run guard(options);
    int status = 0;
    junit_suite suite{"nelk-host run", {}};
    suite.cases.reserve(run.files.size());  // the transcripts' listeners hold on to the cases
    for (const std::string& file : run.files) {
        host_session session(options);
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
    const int coverage = reportCoverage(run.reports, options.json);
    return status > coverage ? status : coverage;
}

int runPrompt(const host_options& options, const repl_options& prompt) {
    if (!loadable(options.library)) return 2;
    const guarded_run guard(options);
    transcript output(stdout, options.style(), colourFor(options));
    live_session session(output, options.library, options.mode());
    return runRepl(session, prompt);
}

int runServeCommand(const host_options& options, const std::vector<std::string>& files, const std::string& bind,
                    int port, bool watch) {
#if defined(NELK_HAVE_SERVE)
    if (files.empty() && !loadable(options.library)) return 2;
    const guarded_run guard(options);
    serve_options served;
    served.files = files;
    served.library = options.library;
    served.bind = bind;
    served.port = port;
    served.watch = watch;
    served.style = options.style();
    served.colour = colourFor(options);
    served.mode = options.mode();
    return runServe(served);
#else
    (void)options;
    (void)files;
    (void)bind;
    (void)port;
    (void)watch;
    std::fprintf(stderr, "nelk-host: serve is not built into this nelk-host (it needs Debian's cpp-httplib, which this "
                         "platform's build does not have); run it from a Linux build\n");
    return 2;
#endif
}

}  // namespace nelk_host_tool
