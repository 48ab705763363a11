#include "run_reports.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "host/protocol_coverage.h"
#include "process/private_files.h"

namespace nelk_host_tool {

namespace {

std::set<coverage_item> notApplicableItems(const report_options& options) {
    std::set<coverage_item> items;
    for (const std::string& id : options.notApplicable) {
        coverage_item item{};
        if (coverageItemNamed(id, item)) items.insert(item);
    }
    return items;
}

}  // namespace

bool prepareReports(report_options& options, std::string& problem) {
    for (const std::string& id : options.notApplicable) {
        coverage_item item{};
        if (!coverageItemNamed(id, item)) {
            problem = "--not-applicable: no protocol item \"" + id + "\" (the ids are in the JSON coverage report and docs/nelk-host.md)";
            return false;
        }
    }
    if (options.junitFile.empty()) return true;
#if defined(NELK_HAVE_JUNIT)
    std::error_code ignored;
    options.junitFile = std::filesystem::absolute(options.junitFile, ignored).string();
    if (writeOwnFile(options.junitFile, "", problem)) return true;
    problem = "--junit: " + problem;
    return false;
#else
    problem = "--junit is not built into this nelk-host (it needs Debian's pugixml, which this platform's build does "
              "not have); run it from a Linux build";
    return false;
#endif
}

void collectScenarioCase(transcript& output, junit_case& result) {
    result.className = "scenario";
    output.listen([&result](const nlohmann::ordered_json& event) {
        const std::optional<transcript_event> kind = eventKind(event);
        if (kind == transcript_event::error) {
            const std::string line = event.value("where", "") + ": error: " + event.value("text", "");
            if (result.message.empty()) result.message = line;
            result.details += line + "\n";
        } else if (kind == transcript_event::warning) {
            result.output += "warning: " + event.value("instance", "") + ": " + event.value("text", "") + "\n";
        }
    });
}

void finishScenarioCase(junit_case& result, statement_result outcome, double seconds) {
    result.seconds = seconds;
    switch (outcome) {
    case statement_result::ok: result.outcome = junit_case::verdict::passed; break;
    case statement_result::load_failed: result.outcome = junit_case::verdict::error; break;
    case statement_result::failed:
    case statement_result::malformed: result.outcome = junit_case::verdict::failed; break;
    }
    if (result.outcome != junit_case::verdict::passed && result.message.empty()) result.message = "the scenario failed";
}

std::vector<junit_suite> validationSuites(const std::vector<nelk_validator::check_result>& results) {
    std::vector<junit_suite> suites;
    for (const nelk_validator::check_result& each : results) {
        if (suites.empty() || suites.back().name != each.library) suites.push_back({each.library, {}});
        junit_case test;
        test.name = each.id;
        test.className = each.library;
        test.seconds = each.seconds;
        using nelk_validator::check_status;
        switch (each.status) {
        case check_status::crashed:
        case check_status::timeout: test.outcome = junit_case::verdict::error; break;
        case check_status::fail: test.outcome = junit_case::verdict::failed; break;
        case check_status::skip: test.outcome = junit_case::verdict::skipped; break;
        case check_status::pass:
        case check_status::warn: break;
        }
        if (test.outcome != junit_case::verdict::passed)
            test.message = std::string(nelk_validator::statusName(each.status)) + ": " + each.reason;
        if (each.failed()) {
            test.details = "reproduce: " + each.reproduce + "\n";
            if (!each.scenario.empty()) test.details += "scenario: " + each.scenario + "\n";
            if (!each.stack.empty()) test.details += "stack:\n" + each.stack;
        }
        if (each.status == nelk_validator::check_status::warn) test.output = "warning: " + each.reason + "\n";
        test.output += each.output;
        suites.back().cases.push_back(std::move(test));
    }
    return suites;
}

bool writeJunitReport(const report_options& options, const std::vector<junit_suite>& suites) {
    if (options.junitFile.empty()) return true;
    std::string problem;
#if defined(NELK_HAVE_JUNIT)
    if (writeJunit(options.junitFile, suites, problem)) return true;
#else
    (void)suites;
    problem = "--junit is not built into this nelk-host";
#endif
    std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
    return false;
}

int reportCoverage(const report_options& options, bool json, bool printTable) {
    const coverage_counts& counts = processCoverage();
    const std::set<coverage_item> notApplicable = notApplicableItems(options);
    if (options.coverage && printTable) {
        if (json) {
            std::printf("%s\n", jsonText(coverageJson(counts, notApplicable)).c_str());
        } else {
            std::printf("%s", coverageTable(counts, notApplicable).c_str());
        }
    }
    if (options.coverageMin >= 0 && counts.covered() < options.coverageMin) {
        std::fprintf(stderr,
                     "nelk-host: the run covered %d of %d applicable protocol items, fewer than --protocol-coverage-min %d\n",
                     counts.covered(), counts.applicable(notApplicable), options.coverageMin);
        return 1;
    }
    return 0;
}

}  // namespace nelk_host_tool
