// nelk-host validate: runs the battery of checks against component libraries and reports on
// standard output. One thread; checks run in child processes of their own unless in-process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checks.h"

namespace nelk_validator {

struct validator_options {
    std::vector<std::string> libraries;
    std::vector<std::string> only;  // check ids to run; empty: all
    std::vector<std::string> skip;  // check ids to leave out
    std::uint64_t seed = 0;
    bool seedGiven = false;
    int iterations = 20000;
    double timeoutSeconds = 10;
    bool inProcess = false;  // no child processes: for a debugger
    bool memcheck = false;   // every check's process under valgrind memcheck
    bool json = false;
    bool quiet = false;      // only what did not pass, and the summary
    bool coverage = false;   // report what the checks exercised of the protocol (--protocol-coverage)
    bool strict = false;     // a WARN fails the run too
    std::string saveFailures;  // the folder for a minimal failing scenario of every failure; "": none
    std::vector<std::string> notApplicable;  // protocol items marked not applicable, by id
    std::string program = "nelk-host";  // how to name this program in reproduce commands
    std::string executable;             // this program's file, to run it again under valgrind
};

// How one check went on one library, for reports that outlive the run (JUnit). Plain data.
struct check_result {
    std::string library;
    std::string id;
    check_status status = check_status::pass;
    std::string reason;
    std::string reproduce;  // the command that runs it again; for failures only
    std::string scenario;   // a minimal scenario that fails the same way (--save-failures), or ""
    std::string stack;      // of a crash, when known
    std::string output;     // what the check's process wrote
    double seconds = 0;
    bool failed() const { return isFailure(status); }
};

// The ids and guarantees, one check a line.
std::string checkList();
// False with `problem` set when an id in only/skip names no check.
bool knownIds(const validator_options& options, std::string& problem);
// Runs and reports; returns 0 only when nothing failed, crashed or timed out (nor, with
// `strict`, warned). When `results` is
// not null, every check's result is appended to it, in the order run.
int runValidator(validator_options options, std::vector<check_result>* results = nullptr);
// The child's side of --memcheck: runs check `id` on the first library, reporting into the
// report file at `reportPath`; never returns.
[[noreturn]] void runCheckChild(const validator_options& options, const std::string& id, const std::string& reportPath);

}  // namespace nelk_validator
