// nelk-host serve [FILE...]: the panels of a live session in a browser (serve/server.h), and its
// worker process (serve-worker, hidden: the server starts it).
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include <sys/stat.h>

#include "command_line.h"
#include "host/call_timing.h"
#include "runner/scenario_host.h"
#include "process/executable_path.h"
#include "serve/server.h"
#if defined(NELK_HAVE_SERVE)
#include "serve/worker.h"
#endif

namespace nelk_host_tool {

namespace {

struct serve_command_options {
    serve_options served;
    std::string tokenFile;  // --token-file, as typed
    std::string timeout;  // as typed
    std::string window;   // WIDTHxHEIGHT, as typed
};

#if defined(NELK_HAVE_SERVE)
// "1280x900" into its two numbers, each from 200 to 8000; false with `problem`.
bool readWindow(const std::string& text, int& width, int& height, std::string& problem) {
    const std::size_t x = text.find('x');
    char* end = nullptr;
    const long w = x == std::string::npos ? 0 : std::strtol(text.c_str(), &end, 10);
    const bool first = x != std::string::npos && end == text.c_str() + x;
    const long h = first ? std::strtol(text.c_str() + x + 1, &end, 10) : 0;
    if (!first || *end != '\0' || w < 200 || w > 8000 || h < 200 || h > 8000) {
        problem = "--window takes WIDTHxHEIGHT in pixels, each from 200 to 8000 (1280x900), not \"" + text + "\"";
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// The session's token from --token-file, NELK_SERVE_TOKEN or --token (which every local user can
// read in the process's command line: a warning). A token file that others may read is refused.
bool chooseToken(serve_command_options& options, std::string& problem) {
    serve_options& served = options.served;
    const char* fromEnvironment = std::getenv("NELK_SERVE_TOKEN");
    if (!options.tokenFile.empty()) {
        struct stat status {};
        std::ifstream file(options.tokenFile, std::ios::binary);
        if (stat(options.tokenFile.c_str(), &status) != 0 || !file) {
            problem = "--token-file " + options.tokenFile + ": " + std::strerror(errno);
            return false;
        }
        if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
            problem = "--token-file " + options.tokenFile + ": other users may read it; chmod 600 it";
            return false;
        }
        std::getline(file, served.token);
    } else if (fromEnvironment != nullptr && served.token.empty()) {
        served.token = fromEnvironment;
    } else if (!served.token.empty()) {
        std::fprintf(stderr, "nelk-host: warning: --token puts the token where every local user reads it (the process's "
                             "command line); use --token-file FILE or NELK_SERVE_TOKEN\n");
    }
    while (!served.token.empty() && std::isspace(static_cast<unsigned char>(served.token.back()))) served.token.pop_back();
    const bool given = !options.tokenFile.empty() || fromEnvironment != nullptr;
    if (given && served.token.size() < 16) {
        problem = "a token needs 16 characters at least (" +
                  std::string(options.tokenFile.empty() ? "NELK_SERVE_TOKEN" : "--token-file " + options.tokenFile) + ")";
        return false;
    }
    return true;
}
#endif

int serveFiles(host_options& host, serve_command_options& options) {
    if (!prepared(host, "nelk-host serve")) return 2;
#if defined(NELK_HAVE_SERVE)
    serve_options& served = options.served;
    std::string problem;
    if ((!options.timeout.empty() && !readSeconds("--timeout", options.timeout, served.timeoutSeconds, problem)) ||
        (!options.window.empty() && !readWindow(options.window, served.windowWidth, served.windowHeight, problem)) ||
        !chooseToken(options, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    if (served.files.empty() && !loadable(host.library)) return 2;
    served.library = host.library;
    served.style = host.style();
    served.colour = host.colour();
    served.mode = host.mode();
    served.workerCommand = {executablePath(), "serve-worker", "--library", host.library};
    if (host.immediate) served.workerCommand.push_back("--immediate");
    // The worker makes the calls: it judges them by the same budget and appends them to the trace.
    served.workerCommand.insert(served.workerCommand.end(), {"--call-budget", std::to_string(callBudget() * 1000)});
    if (!tracePath().empty()) served.workerCommand.insert(served.workerCommand.end(), {"--trace-part", tracePath()});
    return runServe(served);
#else
    (void)options;
    std::fprintf(stderr, "nelk-host: serve is not built into this nelk-host (it needs Debian's cpp-httplib, which this "
                         "platform's build does not have); run it from a Linux build\n");
    return 2;
#endif
}

}  // namespace

subcommand addServeCommand(CLI::App& app, host_options& host) {
    auto options = std::make_shared<serve_command_options>();
    serve_options& served = options->served;
    CLI::App* serve = app.add_subcommand("serve", "draw the panels in a browser and drive them (docs/serve.md)");
    addHostOptions(*serve, host);
    serve->add_option("files", served.files, "scenario files to run first (their instances stay); none: the demo")
        ->check(CLI::ExistingFile);
    serve->add_option("--port", served.port, "the port to listen on; 0 takes a free one")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    serve->add_option("--bind", served.bind, "the address to listen on (another than loopback is reachable from other machines)")
        ->capture_default_str();
    serve->add_flag("--watch", served.watch, "reload a library whose file changed");
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", served.timeoutSeconds);
    serve->add_option("--timeout", options->timeout,
                      std::string("seconds a statement may take before its component counts as hung (default ") + timeout + ")");
    serve->add_option("--token-file", options->tokenFile,
                      "the token the API asks for, read from a file only you may read (or NELK_SERVE_TOKEN; default: a "
                      "random one, printed in the address)");
    serve->add_option("--token", served.token, "the token as an argument, which other local users can read: prefer --token-file");
    serve->add_flag("--no-token", served.noToken, "an API without a token; only with a loopback --bind");
    serve->add_option("--screenshot", served.screenshot,
                      "take a PNG of the page once the files ran (with headless Chromium), and end");
    serve->add_option("--window", options->window, "the picture's size, WIDTHxHEIGHT (default 1280x900)");
    serve->footer(statementFooter() + "Session commands:\n" + sessionCommandHelp());
    return {serve, [&host, options] { return serveFiles(host, *options); }};
}

subcommand addServeWorkerCommand(CLI::App& app, host_options& host) {
    CLI::App* worker = app.add_subcommand("serve-worker", "");  // no description: hidden, the server starts it
    addHostOptions(*worker, host);
    auto tracePart = std::make_shared<std::string>();
    worker->add_option("--trace-part", *tracePart);  // the server's trace, to append to
    return {worker, [&host, tracePart] {
#if defined(NELK_HAVE_SERVE)
        if (!prepared(host)) return 2;
        if (!tracePart->empty()) traceCallsTo(*tracePart, "nelk-host serve's worker (the components)");
        serve_worker_options options;
        options.library = host.library;
        options.mode = host.mode();
        return runServeWorker(options);
#else
        return 2;
#endif
    }};
}

}  // namespace nelk_host_tool
