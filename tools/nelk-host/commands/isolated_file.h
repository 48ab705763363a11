// One scenario file of `run` in a child process of its own (POSIX), so that a component that
// crashes, ends the process or hangs fails that file only and the run goes on with the next: the
// child runs the file as the run would, printing its transcript; the parent watches the statement
// in progress and ends the child, with the culprit said, when one has run longer than the
// timeout. Parent's (the host's) thread.
#pragma once

#include <string>

#include "host_options.h"
#include "host/protocol_coverage.h"
#include "reports/junit_report.h"
#include "scenario/statements.h"

namespace nelk_host_tool {

struct file_outcome {
    statement_result result = statement_result::failed;
    junit_case junit;          // the file's case: its failed statements, or what ended it
    coverage_counts coverage;  // what the file exercised, as far as it got
};

// Runs `file` on a fresh host made from `host`, under --strict when `strict`; a statement that
// has not finished after `timeoutSeconds` ends the file.
file_outcome runFileIsolated(const host_options& host, const std::string& file, bool strict, double timeoutSeconds);

}  // namespace nelk_host_tool
