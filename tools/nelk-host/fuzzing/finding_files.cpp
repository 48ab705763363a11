#include "fuzzing/finding_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "process/child_command.h"
#include "process/private_files.h"
#include "process/scratch_folder.h"
#include "scenario/statement_shrinking.h"

namespace nelk_fuzzing {

namespace {

const char* const breachMark = "nelk-fuzz: FINDING breach: ";
const char* const faultMark = "# fault: ";
const int mostTries = 300;
const double mostSeconds = 120;

// The rest of the line that holds `mark`, after it; "" when the output has none.
std::string lineAfter(const std::string& output, const std::string& mark) {
    const std::size_t at = output.find(mark);
    if (at == std::string::npos) return "";
    const std::size_t start = at + mark.size();
    return output.substr(start, output.find('\n', start) - start);
}

// A message without the texts it quotes, which a shrunk input may change: up to its first quote
// or parenthesis.
std::string withoutQuoted(std::string message) {
    message = message.substr(0, message.find_first_of("\"'("));
    while (!message.empty() && message.back() == ' ') message.pop_back();
    return message;
}

std::string readFile(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

std::string scenarioText(const std::string& header, const std::string& library, const std::vector<statement>& statements,
                         const std::vector<std::size_t>& kept) {
    std::string text = header + "library " + nelk_test_kit::statementWord(library) + "\n";
    for (const std::size_t index : kept) text += nelk_test_kit::writeStatement(statements[index]) + "\n";
    return text;
}

std::string replayOutput(const finding_settings& settings, const std::string& path) {
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "-timeout=%d", static_cast<int>(settings.timeoutSeconds + 0.5));
    const nelk_host_tool::command_result result =
        nelk_host_tool::runCommand({settings.program, timeout, path}, settings.timeoutSeconds * 3 + 30);
    return result.output + result.errors;
}

// A finding of this fault already in the folder, or "".
std::string savedBefore(const std::string& folder, const fault& found) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".nelk") continue;
        if (lineAfter(readFile(entry.path().string()), faultMark) == found.signature) return entry.path().string();
    }
    return "";
}

std::string freePath(const std::string& folder, const std::string& name) {
    for (int number = 1;; ++number) {
        const std::string path = folder + "/" + name + "-" + std::to_string(number) + ".nelk";
        std::error_code error;
        if (!std::filesystem::exists(path, error)) return path;
    }
}

// What nelk-host run must print to fail the same way: its own words for a breach, the
// sanitizer's for the rest.
std::string nelkHostSays(const fault& found) {
    if (found.name == "breach") return found.signature.substr(std::string(breachMark).size());
    if (found.name == "leak") return "LeakSanitizer";
    if (found.name == "hang") return "hung in";
    if (found.name == "undefined-behaviour") return "runtime error";
    if (found.name == "crash") return "signal";
    return "AddressSanitizer: " + found.name;
}

bool replaysInNelkHost(const finding_settings& settings, const std::string& path, const fault& found) {
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", settings.timeoutSeconds);
    const nelk_host_tool::command_result result = nelk_host_tool::runCommand(
        {settings.nelkHost, "--no-colour", "run", "--timeout", timeout, path}, settings.timeoutSeconds * 3 + 30);
    const bool failed = result.started && !result.timedOut && !result.succeeded();
    return failed && (result.output + result.errors).find(nelkHostSays(found)) != std::string::npos;
}

// The first function of the sanitizer's report that is not the sanitizer's own (its interceptors
// of memcpy and the like): "    #1 0x55a8d0 in Type::command(char const*) /path/file.cpp:40:9".
std::string faultingFunction(const std::string& output) {
    std::size_t at = output.find("ERROR: AddressSanitizer: ");
    while (at != std::string::npos) {
        at = output.find("\n    #", at);
        if (at == std::string::npos) break;
        const std::size_t end = output.find('\n', at + 1);
        const std::string frame = output.substr(at + 1, end - at - 1);
        at = end;
        const std::size_t in = frame.find(" in ");
        if (in == std::string::npos) continue;
        std::string function = frame.substr(in + 4);
        function = function.substr(0, std::min(function.find(" /"), function.find(" (")));
        if (function.rfind("__asan", 0) != 0 && function.rfind("__interceptor", 0) != 0 && function.rfind("__sanitizer", 0) != 0)
            return function;
    }
    return "";
}

}  // namespace

std::string breachReport(const std::string& message) { return breachMark + message; }

fault faultIn(const std::string& output) {
    const std::string breach = lineAfter(output, breachMark);
    if (!breach.empty()) return {"breach", breachMark + withoutQuoted(breach)};
    if (output.find("ERROR: LeakSanitizer: detected memory leaks") != std::string::npos)
        return {"leak", "LeakSanitizer: detected memory leaks"};
    if (output.find("ERROR: libFuzzer: timeout") != std::string::npos) return {"hang", "libFuzzer: timeout"};
    if (output.find("ERROR: libFuzzer: out-of-memory") != std::string::npos) return {"out-of-memory", "libFuzzer: out-of-memory"};
    // "SUMMARY: AddressSanitizer: heap-buffer-overflow /path/file.cpp:12:5 in function"
    const std::string summary = lineAfter(output, "SUMMARY: AddressSanitizer: ");
    if (!summary.empty()) {
        const std::string kind = summary.substr(0, summary.find(' '));
        const std::string function = faultingFunction(output);
        return {kind, "AddressSanitizer: " + kind + (function.empty() ? "" : " in " + function)};
    }
    const std::size_t runtimeError = output.find(": runtime error: ");
    if (runtimeError != std::string::npos) {
        const std::size_t start = output.rfind('\n', runtimeError) + 1;  // npos + 1 is 0
        const std::string where = output.substr(start, runtimeError - start);
        return {"undefined-behaviour", where.substr(where.rfind('/') + 1) + ": runtime error"};
    }
    if (output.find("ERROR: libFuzzer: deadly signal") != std::string::npos) return {"crash", "libFuzzer: deadly signal"};
    return {};
}

saved_finding saveFinding(const std::string& artifact, const finding_settings& settings) {
    saved_finding saved;
    const std::vector<statement> statements = admitted(readInput(readFile(artifact)), input_limits{});
    const nelk_host_tool::scratch_folder work("nelk-fuzz-finding");
    if (work.path().empty()) {
        saved.problem = "no private folder for the tries could be made";
        return saved;
    }
    const std::string tryPath = work.path() + "/try.nelk";
    std::vector<std::size_t> kept;
    for (std::size_t index = 0; index < statements.size(); ++index) kept.push_back(index);
    std::ofstream(tryPath, std::ios::binary) << scenarioText("", settings.library, statements, kept);
    saved.found = faultIn(replayOutput(settings, tryPath));
    ++saved.tries;
    if (saved.found.name.empty()) {
        saved.problem = "the input, run again alone, shows no fault: it depends on what the inputs before it left in the "
                        "component (its static state) or on timing; the fuzzer's input is " + artifact;
        return saved;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto fails = [&](const std::vector<std::size_t>& subset) {
        ++saved.tries;
        std::ofstream(tryPath, std::ios::binary) << scenarioText("", settings.library, statements, subset);
        return faultIn(replayOutput(settings, tryPath)).signature == saved.found.signature;
    };
    const auto spent = [&] {
        return saved.tries >= mostTries || std::chrono::steady_clock::now() - started > std::chrono::duration<double>(mostSeconds);
    };
    nelk_host_tool::shrinkStatements(kept, fails, spent);
    saved.statements = static_cast<int>(kept.size());

    std::error_code error;
    std::filesystem::create_directories(settings.folder, error);
    saved.path = savedBefore(settings.folder, saved.found);
    saved.savedBefore = !saved.path.empty();
    if (!saved.savedBefore) {
        saved.path = freePath(settings.folder, saved.found.name);
        const std::string header = "# A finding of the fuzzer, shrunk to the statements it needs (" +
                                   std::to_string(saved.statements) + " of " + std::to_string(statements.size()) + ")\n" +
                                   faultMark + saved.found.signature + "\n" +
                                   "# Replay: nelk-host run FILE (the library is the fuzz build), or " + settings.program + " FILE\n";
        std::string problem;
        if (!nelk_host_tool::writeOwnFile(saved.path, scenarioText(header, settings.library, statements, kept), problem)) {
            saved.problem = problem;
            saved.path.clear();
            return saved;
        }
    }
    if (!settings.nelkHost.empty()) saved.replaysInNelkHost = replaysInNelkHost(settings, saved.path, saved.found);
    return saved;
}

}  // namespace nelk_fuzzing
