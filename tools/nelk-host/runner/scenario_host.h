// What the subcommands that run a host (the demo, run, repl and serve) share: the process guard
// armed around the run, the library checked before anything runs, a fresh host with its
// transcript and scenario runner, and the exit status of a statement result. Main thread.
#pragma once

#include <string>

#include "runner/component_output.h"
#include "runner/host_options.h"
#include "process/process_guard.h"
#include "host/headless_host.h"
#include "scenario/scenario.h"

namespace nelk_host_tool {

// While it lives, a component that crashes or ends the process ends the run with status 1 (or
// its signal) and a message, in the transcript's form, at the statement it happened in, ending
// with `afterwards` ("the run cannot go on"). `also`, when given, is told the ending too (it must
// be async-signal-safe).
class guarded_run {
public:
    explicit guarded_run(const host_options& options, const char* afterwards = "the run cannot go on",
                         nelk_process_guard::reporter also = nullptr);
    ~guarded_run();
    guarded_run(const guarded_run&) = delete;
    guarded_run& operator=(const guarded_run&) = delete;
};

// A library that cannot be loaded, or has no entry, is a usage error said on standard error
// before anything runs.
bool loadable(const std::string& library);

// 0 for ok, 2 for a library that could not be loaded, 1 for anything else.
int exitStatus(statement_result result);

// A host with its transcript on nelk-host's own output (component_output.h) and its scenario runner, as the demo and each
// scenario file use one. Lives on the host's thread.
struct scenario_host {
    transcript output;
    headless_host host;
    scenario_runner runner;
    explicit scenario_host(const host_options& options)
        : output(ownOutput(), options.style(), options.colour()),
          host(output, options.mode()),
          runner(host, output, options.library) {}
};

}  // namespace nelk_host_tool
