#include "fuzzing/fuzz_input.h"

#include <sstream>

#include "host/headless_host.h"
#include "scenario/scenario.h"
#include "scenario/statements.h"

namespace nelk_fuzzing {

namespace {

using nelk_host_tool::statement_role;
using nelk_test_kit::statement_word;

const std::size_t mostSentKept = 256;

bool runnable(const nelk_host_tool::statement_form& form) {
    switch (form.role) {
    case statement_role::looks:
    case statement_role::expects:
    case statement_role::session: return false;
    default: break;
    }
    const std::string name = form.name;
    return name != "library" && name != "clock";
}

// The bounds of `limits` on clock time and timers; `clock` is the time used so far.
bool withinClock(const statement& words, const input_limits& limits, long long& clock) {
    const std::string& name = words[0].text;
    long long milliseconds = 0;
    if (name == "advance" && words[1].text != "next") {
        if (!nelk_host_tool::readDuration(words[1], milliseconds)) return true;  // malformed: the runner says so
        if (milliseconds > limits.longestAdvance || clock + milliseconds > limits.mostClock) return false;
        clock += milliseconds;
    }
    if (name == "timer" && words.size() == 5 && nelk_host_tool::readDuration(words[4], milliseconds))
        return milliseconds >= limits.shortestInterval;
    return true;
}

}  // namespace

std::vector<statement> readInput(const std::string& text) {
    std::vector<statement> statements;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        statement words;
        std::string problem;
        if (!nelk_test_kit::readStatementWords(line, words, problem) || words.empty()) continue;
        const nelk_host_tool::statement_form* form = nelk_host_tool::formOf(words);
        if (form == nullptr) continue;
        const int count = static_cast<int>(words.size()) - 1;
        if (count < form->fewestWords || (form->mostWords >= 0 && count > form->mostWords)) continue;
        statements.push_back(std::move(words));
    }
    return statements;
}

std::string writeInput(const std::vector<statement>& statements) {
    std::string text;
    for (const statement& words : statements) text += nelk_test_kit::writeStatement(words) + "\n";
    return text;
}

std::vector<statement> admitted(const std::vector<statement>& statements, const input_limits& limits) {
    std::vector<statement> kept;
    long long clock = 0;
    int loads = 0;
    for (const statement& each : statements) {
        if (kept.size() >= limits.mostStatements) break;
        const nelk_host_tool::statement_form* form = nelk_host_tool::formOf(each);
        if (form == nullptr || !runnable(*form) || !withinClock(each, limits, clock)) continue;
        statement words = each;
        if (words[0].text == "load") {
            if (++loads > limits.mostLoads) continue;
            if (words.size() >= 3) words[2] = statement_word{"default", false};
        }
        kept.push_back(std::move(words));
    }
    return kept;
}

input_outcome runInput(const std::vector<statement>& statements, const input_settings& settings) {
    using namespace nelk_host_tool;
    input_outcome outcome;
    transcript output(settings.transcript, transcript_style::readable, false);
    std::string lastInstanceError;
    output.listen([&](const nlohmann::ordered_json& event) {
        const std::string kind = event.value("event", "");
        if (kind == "send" && outcome.sent.size() < mostSentKept) outcome.sent.push_back(event.value("line", ""));
        if (kind == "answer" && outcome.answers.size() < mostSentKept && event["answer"].is_string())
            outcome.answers.push_back(event["answer"].get<std::string>());
        if (kind == "error" && lastInstanceError.empty() && event.value("where", "").rfind("instance ", 0) == 0)
            lastInstanceError = event.value("text", "");
    });
    headless_host host(output, delivery_mode::queued);
    scenario_runner runner(host, output, settings.library);
    const auto breachedNow = [&](int errorsBefore) {
        if (host.protocolErrors() == errorsBefore) return false;
        outcome.breached = true;
        outcome.breach = lastInstanceError.empty() ? "a breach of the host's rules" : lastInstanceError;
        return true;
    };
    for (const statement& words : admitted(statements, settings.limits)) {
        outcome.ran.push_back(words);
        lastInstanceError.clear();
        const int errorsBefore = host.protocolErrors();
        runner.runStatement("input:" + std::to_string(outcome.ran.size()), writeStatement(words));
        if (breachedNow(errorsBefore)) return outcome;
    }
    lastInstanceError.clear();
    const int errorsBefore = host.protocolErrors();
    host.removeAll();
    breachedNow(errorsBefore);
    return outcome;
}

}  // namespace nelk_fuzzing
