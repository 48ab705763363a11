#include "validator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>

#include <nlohmann/json.hpp>

#include "check_support.h"
#include "checks.h"
#include "image_checks.h"
#include "in_process.h"
#include "validation_target.h"
#include "process/executable_path.h"
#include "host/call_timing.h"
#include "host/protocol_coverage.h"
#include "host/transcript.h"
#include "process/process_guard.h"
#include "process/scratch_folder.h"
#if !defined(_WIN32)
#include "process/child_command.h"
#include "process/child_report.h"
#include "failure_scenario.h"
#include "isolation.h"
#endif

namespace nelk_validator {

namespace {

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

// The statements of a slow call on one line: "load C ... / notify C 5 2 "x"".
std::string onOneLine(const std::string& statements) {
    std::string line = statements;
    for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) line.replace(at, 1, " / ");
    return line;
}

// A check that passed but made a call over the budget warns of it: the host's window would not
// respond meanwhile. Not judged under valgrind, which slows every call many times.
void judgeCallTimes(const validator_options& options, check_outcome& outcome) {
    const double budget = nelk_host_tool::callBudget();
    if (outcome.status != check_status::pass) return;
    const bool slow = !options.memcheck && budget > 0 && !outcome.slowCalls.empty() && outcome.slowCalls.front().seconds > budget;
    if (!slow && !outcome.stoppedForTime) return;
    outcome.status = check_status::warn;
    if (!slow) {
        outcome.reason = "the check stopped early, its calls over the budget (--call-budget)";
        return;
    }
    const nelk_host_tool::timed_call& slowest = outcome.slowCalls.front();
    outcome.reason = nelk_host_tool::describeSlowCall(slowest, budget) + " (--call-budget): a host's window would not respond" +
                     (slowest.statement.empty() ? "" : "; as statements: " + onOneLine(slowest.statement));
    if (outcome.stoppedForTime)
        outcome.reason += "; stopped after " + std::to_string(slowCallsBeforeStop) +
                          " such calls, its other judgments unmade (--call-budget off runs it whole)";
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

// Every check a run may hold: the image checks of a DLL or a package first, then the battery.
static std::vector<const check*> everyCheck() {
    std::vector<const check*> checks;
    for (const auto* table : {&imageChecks(), &allChecks()}) {
        for (const check& each : *table) checks.push_back(&each);
    }
    return checks;
}

std::string checkList() {
    std::string text;
    for (const check* each : everyCheck()) {
        std::string id = each->id;
        id.resize(22, ' ');
        text += id + each->guarantee + "\n";
    }
    return text;
}

bool knownIds(const validator_options& options, std::string& problem) {
    const std::vector<const check*> checks = everyCheck();
    for (const auto* list : {&options.only, &options.skip}) {
        for (const std::string& id : *list) {
            if (std::none_of(checks.begin(), checks.end(), [&](const check* each) { return id == each->id; })) {
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
    std::unique_ptr<nelk_host_tool::report_file> file = nelk_host_tool::report_file::open(reportPath);
    const auto& checks = allChecks();
    const auto found = std::find_if(checks.begin(), checks.end(), [&](const check& each) { return id == each.id; });
    if (!file || found == checks.end() || options.libraries.empty()) {
        std::fprintf(stderr, "nelk-host: cannot run check \"%s\" for a report at %s\n", id.c_str(), reportPath.c_str());
        std::exit(2);
    }
    runChild(*found, check_settings{options.libraries.front(), options.seed, options.iterations, "", false, "", ""}, file->report());
#endif
}

namespace {

// One run's report: the tally, the JSON document, the results for JUnit, and the text printed
// as each row comes.
class run_report {
public:
    run_report(const validator_options& options, std::vector<check_result>* results) : options_(options), results_(results) {
        document_["seed"] = options.seed;
        document_["libraries"] = nlohmann::ordered_json::array();
    }

    void beginLibrary(const std::string& library) {
        library_ = library;
        checks_ = nlohmann::ordered_json::array();
        battery_ = nlohmann::ordered_json();
        if (!options_.json && !options_.quiet) std::printf("%s\n", library.c_str());
        named_ = !options_.quiet;  // quiet: the library is named before its first line
        std::fflush(stdout);
    }
    // Where the battery ran, for a library whose battery did not run here (text and JSON).
    void battery(const std::string& mode, const std::string& where) {
        battery_ = {{"mode", mode}, {"where", where}};
        if (options_.json || options_.quiet) return;
        std::printf("  battery: %s\n", where.c_str());
    }
    void endLibrary() {
        nlohmann::ordered_json entry{{"library", library_}};
        if (!battery_.is_null()) entry["battery"] = battery_;
        entry["checks"] = checks_;
        document_["libraries"].push_back(entry);
    }

    // A check not selected: counted and listed, not printed.
    void notSelected(const char* id) {
        counts_.add(check_status::skip);
        checks_.push_back({{"id", id}, {"status", "SKIP"}, {"reason", "not selected"}});
        if (results_ != nullptr) results_->push_back({library_, id, check_status::skip, "not selected", "", "", "", "", 0});
    }

    void row(const std::string& id, const check_outcome& outcome, double seconds, const std::string& scenario = "",
             const std::string& scenarioNote = "") {
        counts_.add(outcome.status);
        keepSlowCalls(id, outcome.slowCalls);
        const std::string again = isFailure(outcome.status) ? reproduce(options_, library_, id) : std::string();
        nlohmann::ordered_json entry{{"id", id}, {"status", statusName(outcome.status)}, {"reason", outcome.reason}};
        if (isFailure(outcome.status)) {
            entry["reproduce"] = again;
            if (!scenario.empty()) entry["scenario"] = scenario;
            if (scenario.empty() && !scenarioNote.empty()) entry["scenario_problem"] = scenarioNote;
            if (!outcome.stack.empty()) entry["stack"] = outcome.stack;
            if (!outcome.output.empty()) entry["output"] = outcome.output;
        }
        if (!outcome.slowCalls.empty()) entry["slowCalls"] = nelk_host_tool::timedCallsJson(outcome.slowCalls);
        checks_.push_back(entry);
        if (results_ != nullptr)
            results_->push_back({library_, id, outcome.status, outcome.reason, again, scenario, outcome.stack, outcome.output, seconds});
        if (options_.json || (options_.quiet && (outcome.status == check_status::pass || outcome.status == check_status::skip)))
            return;
        if (!named_) std::printf("%s\n", library_.c_str());
        named_ = true;
        std::printf("  %-8s %-20s %s\n", statusName(outcome.status), id.c_str(), outcome.reason.c_str());
        if (isFailure(outcome.status)) {
            std::printf("           reproduce: %s\n", again.c_str());
            if (!scenarioNote.empty()) std::printf("           scenario: %s\n", scenarioNote.c_str());
            if (!outcome.stack.empty()) std::printf("           stack:\n%s", indented(outcome.stack, "             ").c_str());
            if (!outcome.output.empty())
                std::printf("           output of the check's process:\n%s", indented(outcome.output, "             ").c_str());
        }
        std::fflush(stdout);
    }

    last_words lastWords(const check& each) const {
        return lastWordsFor(options_, library_, each, counts_, document_, checks_);
    }

    // The summary (and the coverage) at the end of the run; the run's exit status.
    int finish() {
        document_["summary"] = counts_.object();
        reportSlowCalls();
        const nelk_host_tool::coverage_counts& covered = nelk_host_tool::processCoverage();
        std::set<nelk_host_tool::coverage_item> notApplicable;
        for (const std::string& id : options_.notApplicable) {
            nelk_host_tool::coverage_item item{};
            if (nelk_host_tool::coverageItemNamed(id, item)) notApplicable.insert(item);
        }
        if (options_.coverage) document_["coverage"] = nelk_host_tool::coverageJson(covered, notApplicable);
        if (options_.json) {
            std::printf("%s\n", nelk_host_tool::jsonText(document_, 2).c_str());
        } else {
            std::printf("%s%s\n", counts_.line().c_str(),
                        options_.strict && counts_.warned() > 0 ? " (--strict: the warnings fail the run)" : "");
            if (options_.coverage) std::printf("%s", nelk_host_tool::coverageTable(covered, notApplicable).c_str());
        }
        std::fflush(stdout);
        return counts_.failed() == 0 && !(options_.strict && counts_.warned() > 0) ? 0 : 1;
    }

private:
    struct slow_call {
        std::string library;
        std::string check;
        nelk_host_tool::timed_call call;
    };
    void keepSlowCalls(const std::string& id, const std::vector<nelk_host_tool::timed_call>& calls) {
        for (const nelk_host_tool::timed_call& each : calls) {
            // A call is listed once, with the check it was slowest in.
            const auto same = std::find_if(slowest_.begin(), slowest_.end(), [&](const slow_call& kept) {
                return kept.library == library_ && kept.call.call == each.call;
            });
            if (same == slowest_.end())
                slowest_.push_back({library_, id, each});
            else if (same->call.seconds < each.seconds)
                *same = {library_, id, each};
        }
        std::stable_sort(slowest_.begin(), slowest_.end(),
                         [](const slow_call& a, const slow_call& b) { return a.call.seconds > b.call.seconds; });
        if (slowest_.size() > nelk_host_tool::keptCalls) slowest_.resize(nelk_host_tool::keptCalls);
    }
    // The run's slowest calls, in the JSON document, and printed unless quiet (then only those
    // over the budget).
    void reportSlowCalls() {
        const double budget = options_.memcheck ? 0 : nelk_host_tool::callBudget();
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const slow_call& each : slowest_) {
            nlohmann::ordered_json entry = nelk_host_tool::timedCallsJson({each.call}).front();
            entry["check"] = each.check;
            entry["library"] = each.library;
            list.push_back(entry);
        }
        document_["callBudgetMs"] = budget * 1000;
        document_["slowestCalls"] = list;
        if (options_.json || slowest_.empty()) return;
        const bool over = budget > 0 && slowest_.front().call.seconds > budget;
        if (options_.quiet && !over) return;
        std::printf("slowest calls (the component's own time in one call; %s):\n",
                    options_.memcheck ? "not judged under valgrind"
                    : budget > 0      ? ("budget " + nelk_host_tool::budgetText(budget) + ", --call-budget").c_str()
                                      : "no budget");
        for (const slow_call& each : slowest_) {
            if (options_.quiet && each.call.seconds <= budget) break;
            std::printf("  %9s  %-20s %s\n", nelk_host_tool::budgetText(each.call.seconds).c_str(), each.check.c_str(),
                        each.call.call.c_str());
        }
    }

    const validator_options& options_;
    std::vector<slow_call> slowest_;
    std::vector<check_result>* results_;
    tally counts_;
    nlohmann::ordered_json document_;
    nlohmann::ordered_json checks_;
    nlohmann::ordered_json battery_;
    std::string library_;
    bool named_ = false;
};

double secondsSince(std::chrono::steady_clock::time_point started) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// One battery check on `target`'s library in this program: in a child process of its own, or
// here with --in-process (and always on Windows).
void runBatteryCheck(const validator_options& options, const validation_target& target, const check& each,
                     const std::string& scratch, run_report& report) {
    const auto started = std::chrono::steady_clock::now();
    // The file itself, wherever a component moves the process's working directory to.
    std::error_code ignored;
    const std::string file = std::filesystem::absolute(target.library, ignored).string();
    check_settings settings{file.empty() ? target.library : file, options.seed, options.iterations, "", options.inProcess,
                            scratch, target.package};
    check_outcome outcome{check_status::crashed, ""};
    std::string scenario;
    std::string scenarioNote;
#if !defined(_WIN32)
    if (!options.inProcess) {
        isolation_options isolation;
        isolation.timeoutSeconds = options.timeoutSeconds;
        isolation.memcheck = options.memcheck;
        isolation.program = options.executable;
        isolation.childArguments = {"validate",     target.library,
                                    "--run-check",  each.id,
                                    "--seed",       std::to_string(options.seed),
                                    "--iterations", std::to_string(options.iterations)};
        if (!nelk_host_tool::tracePath().empty())
            isolation.childArguments.insert(isolation.childArguments.end(), {"--trace-part", nelk_host_tool::tracePath()});
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
        outcome = runInProcess(each, settings, options.timeoutSeconds, report.lastWords(each));
    }
    judgeCallTimes(options, outcome);
    report.row(each.id, outcome, secondsSince(started), scenario, scenarioNote);
}

#if !defined(_WIN32)
std::optional<check_status> statusNamed(const std::string& name) {
    for (int i = 0; i < checkStatusCount; ++i) {
        if (name == statusName(static_cast<check_status>(i))) return static_cast<check_status>(i);
    }
    return std::nullopt;
}

// The battery by another nelk-host (the Windows one under its runner), its JSON report taken
// row by row; what it could not do fails each selected check, or skips them where the machine
// cannot run it at all (the runner's status 125).
void runDelegatedBattery(const validator_options& options, const validation_target& target, const std::vector<const check*>& selected,
                         run_report& report) {
    std::vector<std::string> command = target.delegate;
    std::string ids;
    for (const check* each : selected) ids += (ids.empty() ? "" : ",") + std::string(each->id);
    command.insert(command.end(), {"--only", ids, "--seed", std::to_string(options.seed), "--iterations",
                                   std::to_string(options.iterations), "--timeout", number(options.timeoutSeconds),
                                   "--call-budget", nelk_host_tool::callBudget() > 0 ? number(nelk_host_tool::callBudget() * 1000) : "off"});
    const double bound = 60 + (options.timeoutSeconds * 4 + 30) * static_cast<double>(selected.size());
    const auto started = std::chrono::steady_clock::now();
    const nelk_host_tool::command_result result = nelk_host_tool::runCommand(command, bound);
    const nlohmann::json document = nlohmann::json::parse(result.output, nullptr, false);
    std::map<std::string, check_outcome> outcomes;
    if (!document.is_discarded() && document.contains("libraries") && document["libraries"].is_array() &&
        !document["libraries"].empty()) {
        for (const nlohmann::json& row : document["libraries"][0].value("checks", nlohmann::json::array())) {
            const std::optional<check_status> status = statusNamed(row.value("status", ""));
            if (!status) continue;
            check_outcome outcome{*status, row.value("reason", "")};
            outcome.stack = row.value("stack", "");
            outcome.output = row.value("output", "");
            outcome.slowCalls = nelk_host_tool::timedCallsFrom(row.value("slowCalls", nlohmann::json()));
            outcomes.emplace(row.value("id", ""), outcome);
        }
    }
    std::string why = "the battery's run " + result.ending(bound);
    const std::size_t lastLine = result.errors.find_last_not_of("\n");
    if (lastLine != std::string::npos) {
        const std::size_t start = result.errors.rfind('\n', lastLine);
        why += ": " + result.errors.substr(start == std::string::npos ? 0 : start + 1, lastLine - (start == std::string::npos ? 0 : start + 1) + 1);
    }
    const bool cannotRunHere = result.started && result.exitStatus == 125;
    const double seconds = secondsSince(started) / static_cast<double>(std::max<std::size_t>(selected.size(), 1));
    for (const check* each : selected) {
        const auto found = outcomes.find(each->id);
        if (found != outcomes.end()) {
            report.row(each->id, found->second, seconds);
        } else {
            report.row(each->id, cannotRunHere ? skip("could not run here: " + why) : fail("no verdict: " + why), seconds);
        }
    }
}
#endif

}  // namespace

int runValidator(validator_options options, std::vector<check_result>* results) {
    if (!options.seedGiven)
        options.seed = std::random_device{}() ^ static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
#if defined(_WIN32)
    options.inProcess = true;  // no fork on Windows; every check runs in this process
#endif
    const nelk_host_tool::scratch_folder scratch("nelk-validate");
    run_report report(options, results);
    if (!options.json && !options.quiet) std::printf("seed %llu\n", static_cast<unsigned long long>(options.seed));
    int index = 0;
    for (const std::string& library : options.libraries) {
        const validation_target target = prepareTarget(library, scratch.path(), index++);
        report.beginLibrary(library);
        if (target.imageChecks) {
            for (const check& each : imageChecks()) {
                if (!selected(options, each.id)) {
                    report.notSelected(each.id);
                    continue;
                }
                const auto started = std::chrono::steady_clock::now();
                check_settings settings{target.library, options.seed, options.iterations, "", true, scratch.path(), target.package};
                report.row(each.id, runHere(each, settings), secondsSince(started));
            }
        }
        std::vector<const check*> chosen;
        for (const check& each : allChecks()) {
            if (selected(options, each.id)) chosen.push_back(&each);
        }
        if (target.mode == battery_mode::delegated && !chosen.empty()) report.battery("delegated", target.where);
        if (target.mode == battery_mode::cannot) report.battery("cannot", target.cannot);
        for (const check& each : allChecks()) {
            if (!selected(options, each.id)) {
                report.notSelected(each.id);
            } else if (target.mode == battery_mode::here) {
                runBatteryCheck(options, target, each, scratch.path(), report);
            } else if (target.mode == battery_mode::cannot) {
                report.row(each.id, skip("could not run here: " + target.cannot), 0);
            }
        }
#if !defined(_WIN32)
        if (target.mode == battery_mode::delegated && !chosen.empty()) runDelegatedBattery(options, target, chosen, report);
#endif
        report.endLibrary();
    }
    nelk_process_guard::arm(false);  // the run is over: what ends the process now is ours
    return report.finish();
}

}  // namespace nelk_validator
