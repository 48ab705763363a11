// Runs one check in the validator's own process (--in-process, for a debugger; on Windows, where
// there is no fork). The process guard and a watchdog turn a component that ends the process,
// crashes or hangs into the check's CRASHED or TIMEOUT result and the run's summary, printed
// before the process ends with status 1: never an exit 0 without a verdict. Main thread.
#pragma once

#include <string>

#include "checks.h"

namespace nelk_validator {

// What to print if the check ends the process: the text before the reason for CRASHED and for
// TIMEOUT, and after it (the reproduce command, the summary). JSON-escapes the reason when `json`.
struct last_words {
    std::string crashed;
    std::string timedOut;
    std::string after;
    bool json = false;
};

check_outcome runInProcess(const check& each, const check_settings& settings, double timeoutSeconds,
                           const last_words& ifEnded);

}  // namespace nelk_validator
