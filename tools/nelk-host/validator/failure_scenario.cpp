#include "failure_scenario.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "process/child_command.h"
#include "process/private_files.h"
#include "process/scratch_folder.h"
#include "scenario/statement_shrinking.h"
#include "scenario_words.h"

namespace nelk_validator {

namespace {

// The tries a shrinking may take, and the time: past either, the smallest scenario found so far.
const int mostTries = 300;
const double mostSeconds = 90;

// One call of the record: its statement and the host's answers to the lines it sent.
struct unit {
    std::string statement;
    std::vector<std::string> answers;
};

// What a replay must print to show the same failure; "" when a replay cannot show it.
std::string signatureOf(const check_outcome& outcome) {
    const std::string& reason = outcome.reason;
    if (outcome.status == check_status::timeout) return "hung in";
    if (outcome.status == check_status::crashed) {
        const std::size_t signal = reason.find("crashed with signal ");
        if (signal != std::string::npos) return reason.substr(signal, reason.find(' ', signal + 20) - signal);
        for (const char* ending : {"called exit(", "called _exit(", "called _Exit(", "ended the process with exit()"}) {
            if (reason.find(ending) != std::string::npos) return ending;
        }
        return "";
    }
    if (outcome.status != check_status::fail) return "";
    // A breach of the host rules, "category: message": nelk-host reports it in the same words.
    const std::size_t colon = reason.find(": ");
    if (colon == std::string::npos) return "";
    const std::string category = reason.substr(0, colon);
    bool ruled = false;
    for (const char* each : {"grammar", "kind", "shutdown", "give-back", "call", "answer"}) ruled = ruled || category == each;
    if (!ruled) return "";
    std::string message = reason.substr(colon + 2);
    message = message.substr(0, message.find_first_of("\"("));
    while (!message.empty() && message.back() == ' ') message.pop_back();
    return message.size() >= 8 ? message : "";
}

// The record's calls, up to and with the one that failed: for a crash or a hang the last one
// begun, for a breach the one after which it showed.
std::vector<unit> readRecord(const std::string& path, std::vector<std::string>& notes) {
    std::ifstream input(path, std::ios::binary);
    std::vector<unit> units;
    std::vector<std::size_t> open;
    std::size_t lastClosed = 0;
    std::size_t breachAt = 0;
    bool breached = false;
    for (std::string line; std::getline(input, line);) {
        if (line.empty()) continue;
        const std::string text = line.size() > 2 ? line.substr(2) : std::string();
        switch (line[0]) {
        case 'C':
            units.push_back(unit{text, {}});
            open.push_back(units.size() - 1);
            break;
        case 'A':
            if (!units.empty()) units[open.empty() ? units.size() - 1 : open.back()].answers.push_back(text);
            break;
        case 'E':
            if (!open.empty()) {
                lastClosed = open.back();
                open.pop_back();
            }
            break;
        case 'B':
            if (!breached) breachAt = lastClosed;
            breached = true;
            break;
        case 'N': notes.push_back(text); break;
        default: break;
        }
    }
    if (breached && breachAt + 1 < units.size()) units.resize(breachAt + 1);
    return units;
}

std::string scenarioText(const std::string& header, const std::string& library, const std::vector<unit>& units,
                         const std::vector<std::size_t>& kept) {
    std::string text = header;
    text += "library " + nelk_test_kit::statementWord(library) + "\ndelivery none\n";
    for (const std::size_t index : kept) {
        for (const std::string& answer : units[index].answers) text += answer + "\n";
        text += units[index].statement + "\n";
    }
    return text;
}

// Runs nelk-host on the scenario at `path`; true when it fails and says `signature`.
bool failsTheSameWay(const std::string& program, const std::string& path, double timeoutSeconds, const std::string& signature) {
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", timeoutSeconds);
    const nelk_host_tool::command_result result = nelk_host_tool::runCommand(
        {program, "--no-colour", "--quiet", "run", "--timeout", timeout, path}, timeoutSeconds * 4 + 10);
    const std::string output = result.output + result.errors;
    const bool failed = result.started && !result.timedOut && result.signal == 0 && result.exitStatus != 0;
    return failed && output.find(signature) != std::string::npos && output.find("malformed statement") == std::string::npos;
}

std::string fileStem(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// The comment lines a saved scenario opens with: the check it fails, the reason, the seed and the record's notes.
std::string scenarioHeader(const check& each, const check_settings& settings, const check_outcome& outcome,
                           const std::vector<std::string>& notes) {
    std::string header = "# " + nelk_test_kit::escaped(fileStem(settings.library)) + " fails the validator's check " + each.id +
                         ": " + nelk_test_kit::escaped(outcome.reason) + "\n" +
                         "# The fewest statements nelk-host validate --save-failures found (seed " + std::to_string(settings.seed) +
                         ") that still fail the same way in a replay: nelk-host run FILE\n";
    for (const std::string& note : notes) header += "# " + nelk_test_kit::escaped(note) + "\n";
    return header;
}

// The check again, recording into `recordPath` (the same seed makes the same events); its calls,
// and the record's notes into `notes`. The record is removed once read.
std::vector<unit> recordAgain(const check& each, const check_settings& settings, const isolation_options& isolation,
                              const std::string& recordPath, std::vector<std::string>& notes) {
    check_settings recording = settings;
    recording.recordTo = recordPath;
    isolation_options quiet = isolation;
    quiet.memcheck = false;
    runIsolated(each, recording, quiet);
    std::vector<unit> units = readRecord(recordPath, notes);
    std::error_code error;
    std::filesystem::remove(recordPath, error);
    return units;
}

}  // namespace

saved_scenario saveFailure(const check& each, const check_settings& settings, const check_outcome& outcome,
                           const std::string& folder, const std::string& program, double timeoutSeconds,
                           const isolation_options& isolation) {
    namespace fs = std::filesystem;
    saved_scenario saved;
    const std::string signature = signatureOf(outcome);
    if (signature.empty()) {
        saved.problem = "no scenario: a replay in nelk-host cannot show this kind of failure";
        return saved;
    }
    std::error_code error;
    const std::string library = fs::absolute(settings.library, error).string();
    const std::string name = fileStem(settings.library) + "." + each.id;
    // The record and the tries live in a folder of this run's own, which no one else can fill.
    const nelk_host_tool::scratch_folder work("nelk-save-failures");
    if (work.path().empty()) {
        saved.problem = "no scenario: no private folder for the tries could be made";
        return saved;
    }
    const std::string recordPath = work.path() + "/" + name + ".record";
    const std::string tryPath = work.path() + "/" + name + ".try.nelk";

    std::vector<std::string> notes;
    const std::vector<unit> units = recordAgain(each, settings, isolation, recordPath, notes);
    if (units.empty()) {
        saved.problem = "no scenario: the check made no calls when it ran again";
        return saved;
    }
    const std::string header = scenarioHeader(each, settings, outcome, notes);

    std::vector<std::size_t> kept;
    for (std::size_t index = 0; index < units.size(); ++index) kept.push_back(index);
    const auto started = std::chrono::steady_clock::now();
    const auto fails = [&](const std::vector<std::size_t>& subset) {
        ++saved.tries;
        std::ofstream(tryPath, std::ios::binary) << scenarioText(header, library, units, subset);
        return failsTheSameWay(program, tryPath, timeoutSeconds, signature);
    };
    const auto spent = [&] {
        return saved.tries >= mostTries ||
               std::chrono::steady_clock::now() - started > std::chrono::duration<double>(mostSeconds);
    };
    if (!fails(kept)) {
        saved.problem = "no scenario: the recorded calls, replayed in nelk-host, did not fail the same way (\"" + signature +
                        "\"); the failure depends on what a replay does not repeat (nesting, threads, timing)";
        return saved;
    }
    nelk_host_tool::shrinkStatements(kept, fails, spent);
    const std::string path = (fs::absolute(folder, error) / (name + ".nelk")).string();
    std::string problem;
    if (!nelk_host_tool::writeOwnFile(path, scenarioText(header, library, units, kept), problem)) {
        saved.problem = "no scenario: " + problem;
        return saved;
    }
    saved.path = path;
    saved.statements = static_cast<int>(kept.size());
    return saved;
}

}  // namespace nelk_validator
