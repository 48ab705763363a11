// A fuzzer's finding made into a scenario the author keeps: the fault its replay shows, named
// from what the sanitizers, libFuzzer or the driver printed; the input shrunk by delta debugging
// (a statement stays only if a replay still shows the same fault), each try a run of the fuzz
// program on one input in a process of its own; written as NAME-findings/<fault>-<n>.nelk unless
// a finding of that fault is saved there already. POSIX; the caller's thread, which waits.
#pragma once

#include <string>
#include <vector>

#include "fuzzing/fuzz_input.h"

namespace nelk_fuzzing {

struct fault {
    std::string name;       // for the file: "breach", "heap-buffer-overflow", "leak", "hang", ...; "" for none
    std::string signature;  // what a replay prints again when it fails the same way
};

// The fault shown by a replay's output (its standard error); name "" when it shows none.
fault faultIn(const std::string& output);

// The line the driver prints, before it ends the run, when the host saw a breach.
std::string breachReport(const std::string& message);

struct finding_settings {
    std::string program;  // the fuzz program, run for every try with one input file
    std::string library;  // the fuzz build of the component, the saved scenario's "library"
    std::string folder;   // NAME-findings
    std::string nelkHost; // nelk-host, to check that `nelk-host run` fails on the finding too; "": not checked
    double timeoutSeconds = 10;  // a try's -timeout
};

struct saved_finding {
    fault found;
    std::string path;            // the finding written, or the one saved earlier of that fault
    bool savedBefore = false;    // a finding of this fault was in the folder already
    int statements = 0;
    int tries = 0;
    bool replaysInNelkHost = false;  // nelk-host run failed on it the same way (when asked)
    std::string problem;         // why none was written
};

// Shrinks the input of the file `artifact` (what libFuzzer wrote) and saves it.
saved_finding saveFinding(const std::string& artifact, const finding_settings& settings);

}  // namespace nelk_fuzzing
