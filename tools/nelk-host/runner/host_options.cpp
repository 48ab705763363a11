#include "runner/host_options.h"

#include <cstdio>
#include <cstdlib>

#include "host/call_timing.h"
#include "process/executable_path.h"
#include "reports/call_trace.h"
#include "runner/component_output.h"
#include "scenario/statements.h"

namespace nelk_host_tool {

bool host_options::colour() const { return isTerminal(ownOutputDescriptor()) && !noColour; }

bool readSeconds(const std::string& option, const std::string& text, double& seconds, std::string& problem) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || *end != '\0' || !(value >= 0.001 && value <= 86400)) {
        problem = option + " " + text + ": give a number of seconds from 0.001 to 86400";
        return false;
    }
    seconds = value;
    return true;
}

bool prepared(host_options& options, const std::string& processName) {
    if (options.json && options.quiet) {
        std::fprintf(stderr, "nelk-host: --json and --quiet exclude each other\n");
        return false;
    }
    std::string problem;
    double budget = callBudget();
    if ((!options.callBudget.empty() && !readCallBudget("--call-budget", options.callBudget, budget, problem)) ||
        (!options.trace.empty() && !beginCallTrace(options.trace, processName, problem))) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return false;
    }
    setCallBudget(budget);
    options.library = resolvedLibraryPath("", options.library);
    return true;
}

}  // namespace nelk_host_tool
