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
    check_status status;
    std::string reason;  // one line
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

}  // namespace nelk_validator
