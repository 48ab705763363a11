// `nelk-host validate`: its options as typed, read strictly, and the run with its reports.
// Main thread.
#pragma once

#include <string>

#include "run_reports.h"
#include "validator/validator.h"

namespace nelk_host_tool {

// The values of validate's numeric options as typed; empty when not given.
struct validate_texts {
    std::string seed;
    std::string iterations;
    std::string timeout;
};

// Reads the texts into `checks`; false with a readable `problem` for anything but a number in range.
bool readValidateOptions(const validate_texts& texts, nelk_validator::validator_options& checks, std::string& problem);

// Runs the checks (or lists them) and writes the reports; returns the exit status: 0 passed, 1
// failed, 2 usage error. program: how to name this program in reproduce commands.
int runValidation(nelk_validator::validator_options checks, const report_options& reports, bool listChecks,
                  const char* program);

}  // namespace nelk_host_tool
