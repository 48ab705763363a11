#include "validator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

#include <nlohmann/json.hpp>

#include "checks.h"
#include "in_process.h"
#include "process/executable_path.h"
#include "host/protocol_coverage.h"
#include "host/transcript.h"
#include "process/process_guard.h"
#if !defined(_WIN32)
#include "child_report.h"
#include "failure_scenario.h"
#include "isolation.h"
#endif

namespace nelk_validator {

namespace {

// A folder of the run's own in the temporary folder, for checks that need somewhere to work
// (a component that writes files writes them there); removed, with what is in it, when the run
// ends, whatever a check's process left behind.
class scratch_folder {
public:
    scratch_folder() {
        std::error_code error;
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        if (error) return;
#if defined(_WIN32)
        path_ = temporary / ("nelk-validate-" + std::to_string(std::random_device{}()));
        if (!std::filesystem::create_directory(path_, error) || error) path_.clear();
#else
        std::string name = (temporary / "nelk-validate-XXXXXX").string();
        if (mkdtemp(&name[0]) != nullptr) path_ = name;
#endif
    }
    ~scratch_folder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

bool selected(const validator_options& options, const std::string& id) {
    const bool inOnly = options.only.empty() || std::find(options.only.begin(), options.only.end(), id) != options.only.end();
    return inOnly && std::find(options.skip.begin(), options.skip.end(), id) == options.skip.end();
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Every option that changes what a check does, so that the command repeats the run exactly.
std::string reproduce(const validator_options& options, const std::string& library, const std::string& id) {
    std::string command = nelk_host_tool::shellQuoted(options.program) + " validate " + nelk_host_tool::shellQuoted(library) + " --only " + id +
                          " --seed " + std::to_string(options.seed) + " --iterations " + std::to_string(options.iterations) +
                          " --timeout " + number(options.timeoutSeconds);
    if (options.inProcess) command += " --in-process";
    if (options.memcheck) command += " --memcheck";
    if (options.strict) command += " --strict";
    return command;
}

// How a run stands, for the summary line and object.
struct tally {
    std::array<int, checkStatusCount> counts{};
    void add(check_status status) { ++counts[static_cast<int>(status)]; }
    int of(check_status status) const { return counts[static_cast<int>(status)]; }
    int failed() const { return of(check_status::fail) + of(check_status::crashed) + of(check_status::timeout); }
    int warned() const { return of(check_status::warn); }
    std::string line() const {
        return std::to_string(of(check_status::pass)) + " passed, " + std::to_string(failed()) + " failed, " +
               std::to_string(of(check_status::skip)) + " skipped, " + std::to_string(of(check_status::warn)) + " warnings";
    }
    nlohmann::ordered_json object() const {
        return {{"passed", of(check_status::pass)}, {"failed", failed()}, {"crashed", of(check_status::crashed)},
                {"timeout", of(check_status::timeout)}, {"skipped", of(check_status::skip)},
                {"warnings", of(check_status::warn)}};
    }
};

std::string indented(const std::string& text, const std::string& indent) {
    std::string result;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        result += indent + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return result;
}

// What an in-process check prints if it ends the process: its line as it would stand, then the
// reproduce command and the summary with this check failed.
last_words lastWordsFor(const validator_options& options, const std::string& library, const check& each,
                        const tally& sofar, nlohmann::ordered_json report, nlohmann::ordered_json checks) {
    tally ended = sofar;
    ended.add(check_status::crashed);
    last_words words;
    words.json = options.json;
    if (!options.json) {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "  %-8s %-20s ", "CRASHED", each.id);
        words.crashed = prefix;
        std::snprintf(prefix, sizeof prefix, "  %-8s %-20s ", "TIMEOUT", each.id);
        words.timedOut = prefix;
        words.after = "\n           reproduce: " + reproduce(options, library, each.id) + "\n" + ended.line() +
                      " (the run ended in this check)\n";
        return words;
    }
    // The report as it would stand, with a marker where the reason goes.
    const std::string marker = "@@the reason stands here@@";  // survives the JSON dump unchanged
    checks.push_back({{"id", each.id}, {"status", "CRASHED"}, {"reason", marker},
                      {"reproduce", reproduce(options, library, each.id)}});
    report["libraries"].push_back({{"library", library}, {"checks", checks}});
    report["summary"] = ended.object();
    const std::string text = nelk_host_tool::jsonText(report, 2) + "\n";
    const std::size_t at = text.find(marker);
    words.crashed = text.substr(0, at);
    words.after = text.substr(at + marker.size());
    const std::size_t status = words.crashed.rfind("\"CRASHED\"");
    words.timedOut = words.crashed;
    if (status != std::string::npos) words.timedOut.replace(status, 9, "\"TIMEOUT\"");
    return words;
}

}  // namespace

std::string checkList() {
    std::string text;
    for (const check& each : allChecks()) {
        std::string id = each.id;
        id.resize(22, ' ');
        text += id + each.guarantee + "\n";
    }
    return text;
}

bool knownIds(const validator_options& options, std::string& problem) {
    for (const auto* list : {&options.only, &options.skip}) {
        for (const std::string& id : *list) {
            const auto& checks = allChecks();
            if (std::none_of(checks.begin(), checks.end(), [&](const check& each) { return id == each.id; })) {
                problem = "no check \"" + id + "\" (see --list)";
                return false;
            }
        }
    }
    return true;
}

void runCheckChild(const validator_options& options, const std::string& id, const std::string& reportPath) {
#if defined(_WIN32)
    (void)options;
    (void)id;
    (void)reportPath;
    std::fprintf(stderr, "nelk-host: checks run in-process on Windows\n");
    std::exit(2);
#else
    std::unique_ptr<report_file> file = report_file::open(reportPath);
    const auto& checks = allChecks();
    const auto found = std::find_if(checks.begin(), checks.end(), [&](const check& each) { return id == each.id; });
    if (!file || found == checks.end() || options.libraries.empty()) {
        std::fprintf(stderr, "nelk-host: cannot run check \"%s\" for a report at %s\n", id.c_str(), reportPath.c_str());
        std::exit(2);
    }
    runChild(*found, check_settings{options.libraries.front(), options.seed, options.iterations, "", false, ""}, file->report());
#endif
}

int runValidator(validator_options options, std::vector<check_result>* results) {
    if (!options.seedGiven)
        options.seed = std::random_device{}() ^ static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
#if defined(_WIN32)
    options.inProcess = true;  // no fork on Windows; every check runs in this process
#endif
    tally counts;
    const scratch_folder scratch;
    nlohmann::ordered_json report;
    report["seed"] = options.seed;
    report["libraries"] = nlohmann::ordered_json::array();
    if (!options.json && !options.quiet) std::printf("seed %llu\n", static_cast<unsigned long long>(options.seed));
    for (const std::string& library : options.libraries) {
        if (!options.json && !options.quiet) std::printf("%s\n", library.c_str());
        bool named = !options.quiet;  // quiet: the library is named before its first line
        std::fflush(stdout);
        nlohmann::ordered_json checks = nlohmann::ordered_json::array();
        for (const check& each : allChecks()) {
            if (!selected(options, each.id)) {
                counts.add(check_status::skip);
                checks.push_back({{"id", each.id}, {"status", "SKIP"}, {"reason", "not selected"}});
                if (results != nullptr) results->push_back({library, each.id, check_status::skip, "not selected", "", "", "", "", 0});
                continue;
            }
            const auto started = std::chrono::steady_clock::now();
            // The file itself, wherever a component moves the process's working directory to.
            std::error_code ignored;
            const std::string file = std::filesystem::absolute(library, ignored).string();
            check_settings settings{file.empty() ? library : file, options.seed, options.iterations, "", options.inProcess,
                                    scratch.path()};
            check_outcome outcome{check_status::crashed, ""};
            std::string scenario;
            std::string scenarioNote;
#if !defined(_WIN32)
            if (!options.inProcess) {
                isolation_options isolation;
                isolation.timeoutSeconds = options.timeoutSeconds;
                isolation.memcheck = options.memcheck;
                isolation.program = options.executable;
                isolation.childArguments = {"validate",     library,
                                            "--run-check",  each.id,
                                            "--seed",       std::to_string(options.seed),
                                            "--iterations", std::to_string(options.iterations)};
                outcome = runIsolated(each, settings, isolation);
                if (isFailure(outcome.status) && !options.saveFailures.empty()) {
                    const saved_scenario saved = saveFailure(each, settings, outcome, options.saveFailures, options.executable,
                                                             std::min(options.timeoutSeconds, 10.0), isolation);
                    scenario = saved.path;
                    scenarioNote = saved.path.empty() ? saved.problem
                                                      : saved.path + " (" + std::to_string(saved.statements) +
                                                            (saved.statements == 1 ? " statement, " : " statements, ") +
                                                            std::to_string(saved.tries) + " replays to shrink it): nelk-host run " +
                                                            nelk_host_tool::shellQuoted(saved.path);
                }
            } else
#endif
            {
                outcome = runInProcess(each, settings, options.timeoutSeconds,
                                       lastWordsFor(options, library, each, counts, report, checks));
            }
            counts.add(outcome.status);
            nlohmann::ordered_json entry{{"id", each.id}, {"status", statusName(outcome.status)}, {"reason", outcome.reason}};
            if (isFailure(outcome.status)) {
                entry["reproduce"] = reproduce(options, library, each.id);
                if (!scenario.empty()) entry["scenario"] = scenario;
                if (scenario.empty() && !scenarioNote.empty()) entry["scenario_problem"] = scenarioNote;
                if (!outcome.stack.empty()) entry["stack"] = outcome.stack;
                if (!outcome.output.empty()) entry["output"] = outcome.output;
            }
            checks.push_back(entry);
            if (results != nullptr) {
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
                results->push_back({library, each.id, outcome.status, outcome.reason,
                                    isFailure(outcome.status) ? reproduce(options, library, each.id) : std::string(), scenario,
                                    outcome.stack, outcome.output, took.count()});
            }
            if (options.json || (options.quiet && (outcome.status == check_status::pass || outcome.status == check_status::skip)))
                continue;
            if (!named) std::printf("%s\n", library.c_str());
            named = true;
            std::printf("  %-8s %-20s %s\n", statusName(outcome.status), each.id, outcome.reason.c_str());
            if (isFailure(outcome.status)) {
                std::printf("           reproduce: %s\n", reproduce(options, library, each.id).c_str());
                if (!scenarioNote.empty()) std::printf("           scenario: %s\n", scenarioNote.c_str());
                if (!outcome.stack.empty()) std::printf("           stack:\n%s", indented(outcome.stack, "             ").c_str());
                if (!outcome.output.empty())
                    std::printf("           output of the check's process:\n%s", indented(outcome.output, "             ").c_str());
            }
            std::fflush(stdout);
        }
        report["libraries"].push_back({{"library", library}, {"checks", checks}});
    }
    nelk_process_guard::arm(false);  // the run is over: what ends the process now is ours
    report["summary"] = counts.object();
    const nelk_host_tool::coverage_counts& covered = nelk_host_tool::processCoverage();
    std::set<nelk_host_tool::coverage_item> notApplicable;
    for (const std::string& id : options.notApplicable) {
        nelk_host_tool::coverage_item item{};
        if (nelk_host_tool::coverageItemNamed(id, item)) notApplicable.insert(item);
    }
    if (options.coverage) report["coverage"] = nelk_host_tool::coverageJson(covered, notApplicable);
    if (options.json) {
        std::printf("%s\n", nelk_host_tool::jsonText(report, 2).c_str());
    } else {
        std::printf("%s%s\n", counts.line().c_str(),
                    options.strict && counts.warned() > 0 ? " (--strict: the warnings fail the run)" : "");
        if (options.coverage) std::printf("%s", nelk_host_tool::coverageTable(covered, notApplicable).c_str());
    }
    std::fflush(stdout);
    return counts.failed() == 0 && !(options.strict && counts.warned() > 0) ? 0 : 1;
}

}  // namespace nelk_validator
