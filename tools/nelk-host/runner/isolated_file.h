// One scenario file of `run` in a child process of its own (POSIX), so that a component that
// crashes, ends the process or hangs fails that file only and the run goes on with the next: the
// child runs the file (scenario_file.h), printing its transcript, and keeps its progress, the
// statement running and what ended it in the shared report; the parent ends the child, with the
// culprit said, when a statement has run longer than the timeout. Parent's (the host's) thread.
#pragma once

#include <string>

#include "runner/scenario_file.h"

namespace nelk_host_tool {

// Runs `file` on a fresh host made from `host`, under --strict when `strict`; a statement that
// has not finished after `timeoutSeconds` ends the file.
file_outcome runFileIsolated(const host_options& host, const std::string& file, bool strict, double timeoutSeconds);

}  // namespace nelk_host_tool
