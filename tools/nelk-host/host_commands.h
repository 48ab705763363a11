// The subcommands that run a host: the demo, `run`, `repl` and `serve`, with the options they
// share. Each returns the process's exit status: 0 passed, 1 failed, 2 usage or load error.
// Main thread, which is the host's thread.
#pragma once

#include <string>
#include <vector>

#include "delivery_queue.h"
#include "repl.h"
#include "run_reports.h"
#include "transcript.h"

namespace nelk_host_tool {

// The options every host subcommand takes.
struct host_options {
    bool json = false;
    bool quiet = false;
    bool immediate = false;
    bool noColour = false;
    std::string library;  // what "load" uses when it names none; absolute

    transcript_style style() const {
        return json ? transcript_style::json : quiet ? transcript_style::quiet : transcript_style::readable;
    }
    delivery_mode mode() const { return immediate ? delivery_mode::immediate : delivery_mode::queued; }
};

// `run`'s own options.
struct run_options {
    std::vector<std::string> files;
    bool strict = false;  // a statement during which the host warned fails
    report_options reports;
};

int runDemo(const host_options& options);
// Every file starts from a fresh host: no instances, slots or delivery mode carried over.
int runFiles(const host_options& options, const run_options& run);
int runPrompt(const host_options& options, const repl_options& prompt);
// files: run first, their instances kept; none runs the demo. bind, port: where to listen.
int runServeCommand(const host_options& options, const std::vector<std::string>& files, const std::string& bind,
                    int port, bool watch);

}  // namespace nelk_host_tool
