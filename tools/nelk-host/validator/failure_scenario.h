// --save-failures: a failed check becomes the smallest scenario that still fails the same way in
// `nelk-host run`. The check runs again with its subjects recording what they do (call_record.h);
// the record, cut after the event that failed, is written as a scenario of nelk-host's language
// (the host's answers as "answer" statements, "delivery none"); then delta debugging drops every
// statement the failure does not need, each try a run of nelk-host in a process of its own.
// POSIX; parent's thread.
#pragma once

#include <string>

#include "checks.h"
#include "isolation.h"

namespace nelk_validator {

struct saved_scenario {
    std::string path;     // the scenario written; "" when none was
    int statements = 0;   // how many it holds
    int tries = 0;        // runs of nelk-host the shrinking took
    std::string problem;  // why there is none: the failure is not a replay's to show, or did not come back
};

// Shrinks the failure `outcome` of check `each` into a scenario in `folder`, named after the
// library and the check. `program`: nelk-host's own file, run for every try; `timeoutSeconds`:
// each try's --timeout. `isolation`: how the check ran, to run it again recording.
saved_scenario saveFailure(const check& each, const check_settings& settings, const check_outcome& outcome,
                           const std::string& folder, const std::string& program, double timeoutSeconds,
                           const isolation_options& isolation);

}  // namespace nelk_validator
