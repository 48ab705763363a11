// One fuzzer input: a scenario text, one statement a line, run on a fresh headless host with the
// fuzz build of the component as the library "load" uses, under the same rules as nelk-host run
// (give-backs, breaches, ranges, threads). What a replay must not depend on is left out, so that
// the statements that ran, written as a scenario, fail the same way in nelk-host run: checks and
// expectations (a mutated expectation fails for nothing), "library" lines (the fuzz build is the
// library), and what would make one input run for long (more than a bound of statements,
// instances or clock time). Host's thread, which is the fuzzer's.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "scenario_words.h"

namespace nelk_fuzzing {

using statement = std::vector<nelk_test_kit::statement_word>;

// The statements of a scenario text; lines that are no statement of the language (empty,
// comments, unreadable words, an unknown name, too few or too many words) are left out.
std::vector<statement> readInput(const std::string& text);
// The statements as a scenario text, one a line; readInput gives them back.
std::string writeInput(const std::vector<statement>& statements);

// What one input may do; past a bound the statement is not run (and is not among those that ran).
struct input_limits {
    std::size_t mostStatements = 200;
    int mostLoads = 8;
    long long longestAdvance = 10000;  // ms of the host's clock in one "advance"
    long long mostClock = 30000;       // ms of the host's clock in the whole input
    long long shortestInterval = 10;   // ms: a timer that fires more often is not started
};

struct input_settings {
    std::string library;             // the fuzz build of the component, absolute
    std::FILE* transcript = nullptr; // where the run is shown (readable); null: nowhere
    input_limits limits;
};

struct input_outcome {
    std::vector<statement> ran;      // the admitted statements that ran (all of them, unless one breached)
    bool breached = false;           // the host saw a breach of its rules (a protocol error)
    std::string breach;              // its first message
    std::vector<std::string> sent;   // the lines the components sent (the first few hundred)
    std::vector<std::string> answers;  // the components' kind-3 answers that were not null (as many)
};

// The statements of `statements` that an input runs, as it runs them: within the limits, without
// the ones a replay must not depend on, "load" with the library "default". Applied to its own
// result it changes nothing, so that a saved finding runs the statements it holds.
std::vector<statement> admitted(const std::vector<statement>& statements, const input_limits& limits);

// Runs the admitted statements in order, deletes the instances left (a breach at deletion
// counts), and stops at the first breach.
input_outcome runInput(const std::vector<statement>& statements, const input_settings& settings);

}  // namespace nelk_fuzzing
