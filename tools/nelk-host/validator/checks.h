// The validator's battery of checks. Each runs against one component library and is
// independent of the others, so it can run in a child process of its own. The table and its
// texts are static; a check runs on the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nelk_validator {

enum class check_status { pass, fail, skip, warn, crashed, timeout };

struct check_outcome {
    check_outcome(check_status status, std::string reason) : status(status), reason(std::move(reason)) {}
    check_status status;
    std::string reason;  // one line
    std::string stack;   // a crash's symbolized stack, one frame a line, when there is one
    std::string output;  // what the check's process wrote to standard output and error, an excerpt
};

struct check_settings {
    std::string library;
    std::uint64_t seed;
    int iterations;  // for the random storm
};

struct check {
    const char* id;         // stable, kebab-case
    const char* guarantee;  // what passing it guarantees, one line
    check_outcome (*run)(const check_settings&);
};

// All checks, in the order they run.
const std::vector<check>& allChecks();

const char* statusName(check_status status);

// Runs one check here, in this process; an exception that escapes it is a crash.
check_outcome runHere(const check& each, const check_settings& settings);

}  // namespace nelk_validator
