#include "runner/scenario_file.h"

#include <chrono>

#include "host/call_timing.h"
#include "runner/component_output.h"
#include "runner/scenario_host.h"
#include "reports/run_reports.h"

namespace nelk_host_tool {

file_outcome runScenarioFile(const host_options& host, const std::string& file, bool strict,
                             const std::function<void(const std::string& where, const std::string& line)>& onStatement) {
    processCoverage() = {};
    traceProcessName(file);
    const component_output componentsWrite(host.style(), host.colour());  // kept out of the transcript
    scenario_host session(host);
    session.runner.setStrict(strict);
    session.output.listen([&](const nlohmann::ordered_json& event) {
        if (eventKind(event) == transcript_event::statement) onStatement(event.value("where", file), event.value("text", ""));
    });
    file_outcome outcome;
    outcome.junit.name = file;
    collectScenarioCase(session.output, outcome.junit);
    const auto started = std::chrono::steady_clock::now();
    outcome.result = session.runner.runFile(file);
    finishScenarioCase(outcome.junit, outcome.result, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    outcome.coverage = processCoverage();
    return outcome;
}

}  // namespace nelk_host_tool
