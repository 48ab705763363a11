// Reports in the JUnit XML form that CI systems read: one test suite per scenario run or per
// validated library, one test case per scenario file or check. Written with pugixml. Plain data;
// any thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_host_tool {

struct junit_case {
    enum class verdict { passed, failed, error, skipped };
    std::string name;       // the scenario file, or the check's id
    std::string className;  // "scenario", or the library
    double seconds = 0;
    verdict outcome = verdict::passed;
    std::string message;    // one line, for a case that did not pass
    std::string details;    // every failed statement, a crash's stack, the reproduce command...
    std::string output;     // what the case wrote (warnings, the process's output)
};

struct junit_suite {
    std::string name;
    std::vector<junit_case> cases;
};

// Writes the suites to `path` as one <testsuites> document; false with `problem` set when the
// file cannot be written.
bool writeJunit(const std::string& path, const std::vector<junit_suite>& suites, std::string& problem);

}  // namespace nelk_host_tool
