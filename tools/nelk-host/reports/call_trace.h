// --trace FILE: a timeline of every call into a component, in Chrome's trace event format (a JSON
// object whose "traceEvents" chrome://tracing and ui.perfetto.dev open). The processes of a run
// (isolated files, checks, serve's worker) append their calls to FILE.part as they go
// (host/call_timing.h); the process that began the trace writes FILE from it when it ends, and
// removes the part. Main thread.
#pragma once

#include <string>

namespace nelk_host_tool {

// Starts the trace of this process and the children it forks, the process named `processName`:
// FILE is made absolute and checked writable now, before any component runs. From then on, the
// end of this process through exit() (not a forked child's) writes FILE. False with `problem`.
bool beginCallTrace(const std::string& file, const std::string& processName, std::string& problem);

// Writes FILE from the part now (also done at exit, once); false with `problem` when it cannot.
bool finishCallTrace(std::string& problem);

// The trace file of `part` lines (one event a line; a line cut short is left out), as a Chrome
// trace; its events sorted by time. Exposed for its test.
std::string chromeTrace(const std::string& partLines);

}  // namespace nelk_host_tool
