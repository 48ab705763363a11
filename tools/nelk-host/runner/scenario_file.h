// One scenario file of `run`, on a fresh host made from the options: the steps every run of a
// file takes, whether in this process (--in-process, and on Windows) or in a child of its own
// (isolated_file.h). The host's thread.
#pragma once

#include <functional>
#include <string>

#include "runner/host_options.h"
#include "host/protocol_coverage.h"
#include "reports/junit_report.h"
#include "scenario/statements.h"

namespace nelk_host_tool {

struct file_outcome {
    statement_result result = statement_result::failed;
    junit_case junit;          // the file's case: its failed statements, or what ended it
    coverage_counts coverage;  // what the file exercised, as far as it got
};

// Runs `file` under --strict when `strict`, its transcript on standard output; `onStatement`
// (where: "file:line", and the text) is told of every statement as it begins, on the host's
// thread. The process's protocol coverage counts this file only.
file_outcome runScenarioFile(const host_options& host, const std::string& file, bool strict,
                             const std::function<void(const std::string& where, const std::string& line)>& onStatement);

}  // namespace nelk_host_tool
