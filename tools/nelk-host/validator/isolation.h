// Runs one check in a child process of its own (POSIX; process/supervised_child.h): a crash, a
// hang or an ended process there is reported, with the event it happened in, and the validator
// goes on. The child reports through shared memory (process/child_report.h) and hands its verdict
// as a child_result, runs in a process group of its own that is ended with it, and has its
// standard output and error captured. Parent's thread.
#pragma once

#include <string>

#include "checks.h"

namespace nelk_host_tool {
struct child_report;
}

namespace nelk_validator {

// Set from the validator's options, which hold the defaults.
struct isolation_options {
    double timeoutSeconds = 0;
    // Run the child under valgrind memcheck: `program` is executed again with `childArguments`
    // plus the report file; a memcheck error fails the check.
    bool memcheck = false;
    std::string program;
    std::vector<std::string> childArguments;
};

check_outcome runIsolated(const check& each, const check_settings& settings, const isolation_options& options);

// The child's side: runs the check with the process guard writing into `report`, writes the
// outcome and ends the process. Used after fork, and by a program executed under valgrind.
[[noreturn]] void runChild(const check& each, const check_settings& settings, nelk_host_tool::child_report& report);

// Whether valgrind can be run here.
bool memcheckAvailable();

}  // namespace nelk_validator
