// What `run` and `validate` report besides their transcript: a JUnit file for CI, and the
// protocol coverage with its floor. Host's thread.
#pragma once

#include <string>
#include <vector>

#include "junit_report.h"
#include "scenario/statements.h"
#include "host/transcript.h"
#include "validator/validator.h"

namespace nelk_host_tool {

struct report_options {
    std::string junitFile;  // where to write the JUnit report; empty: none
    bool coverage = false;  // print the protocol coverage table
    int coverageMin = -1;   // fail when fewer applicable items were covered; -1: no floor
    std::vector<std::string> notApplicable;  // ids of protocol items the component never reaches by design
};

// Readies the reports before any component runs: false with `problem` set when this build cannot
// write what `options` asks for, an item marked not applicable has no such id, or the JUnit file
// cannot be made, so that a run is refused before it starts. The JUnit path becomes absolute and
// the file is made now (empty, not through a symbolic link), so that a component that changes
// the directory or the umask moves nothing and makes it unreadable to no one.
bool prepareReports(report_options& options, std::string& problem);

// Makes `result` the JUnit case of one scenario file: it collects the transcript's errors (the
// failed statements) and warnings from now on. Both must outlive the transcript's use; the
// verdict is set by finishScenarioCase.
void collectScenarioCase(transcript& output, junit_case& result);
void finishScenarioCase(junit_case& result, statement_result outcome, double seconds);

// One suite a library, one case a check.
std::vector<junit_suite> validationSuites(const std::vector<nelk_validator::check_result>& results);

// Writes the report when one was asked for; false (with a message on standard error) when it
// could not be written.
bool writeJunitReport(const report_options& options, const std::vector<junit_suite>& suites);

// Prints the process's coverage table (`json`: as one JSON line) when asked for, then checks the
// floor; returns 0, or 1 with a message on standard error when below it.
int reportCoverage(const report_options& options, bool json, bool printTable = true);

}  // namespace nelk_host_tool
