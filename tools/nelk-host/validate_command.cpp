#include "validate_command.h"

#include <cstdio>
#include <cstdlib>

#include "executable_path.h"
#if !defined(_WIN32)
#include "validator/isolation.h"
#endif

namespace nelk_host_tool {

namespace {

// A whole number up to `high`, written in plain decimal and nothing else.
bool readWhole(const std::string& text, unsigned long long high, unsigned long long& value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long long result = 0;
    for (const char digit : text) {
        const unsigned long long next = result * 10 + static_cast<unsigned long long>(digit - '0');
        if (result > (~0ULL - 9) / 10 && next / 10 != result) return false;  // past 64 bits
        result = next;
    }
    if (result > high) return false;
    value = result;
    return true;
}

}  // namespace

bool readValidateOptions(const validate_texts& texts, nelk_validator::validator_options& checks, std::string& problem) {
    unsigned long long value = 0;
    if (!texts.seed.empty()) {
        if (!readWhole(texts.seed, ~0ULL, value)) {
            problem = "--seed " + texts.seed + ": give a whole number from 0 to 18446744073709551615";
            return false;
        }
        checks.seed = value;
        checks.seedGiven = true;
    }
    if (!texts.iterations.empty()) {
        if (!readWhole(texts.iterations, 100000000, value) || value == 0) {
            problem = "--iterations " + texts.iterations + ": give a whole number from 1 to 100000000";
            return false;
        }
        checks.iterations = static_cast<int>(value);
    }
    if (!texts.timeout.empty()) {
        char* end = nullptr;
        const double seconds = std::strtod(texts.timeout.c_str(), &end);
        if (end == texts.timeout.c_str() || *end != '\0' || !(seconds >= 0.001 && seconds <= 86400)) {
            problem = "--timeout " + texts.timeout + ": give a number of seconds from 0.001 to 86400";
            return false;
        }
        checks.timeoutSeconds = seconds;
    }
    return true;
}

int runValidation(nelk_validator::validator_options checks, const report_options& reports, bool listChecks,
                  const char* program) {
    if (listChecks) {
        std::printf("%s", nelk_validator::checkList().c_str());
        return 0;
    }
    std::string problem;
    if (checks.libraries.empty()) problem = "validate needs at least one library";
    if (problem.empty()) nelk_validator::knownIds(checks, problem);
    if (problem.empty()) reportsAvailable(reports, problem);
#if !defined(_WIN32)
    if (problem.empty() && checks.memcheck && !nelk_validator::memcheckAvailable())
        problem = "--memcheck needs valgrind (Debian: apt-get install valgrind)";
#endif
    if (!problem.empty()) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    // The libraries are not opened here: what they do when opened is the first check's matter,
    // in a process of its own.
    checks.program = program;
    checks.executable = executablePath();
    checks.coverage = reports.coverage;
    std::vector<nelk_validator::check_result> results;
    int status = nelk_validator::runValidator(checks, &results);
    if (!writeJunitReport(reports, validationSuites(results)) && status == 0) status = 1;
    // The validator prints the table itself, inside its report.
    const int coverage = reportCoverage(reports, checks.json, false);
    return status > coverage ? status : coverage;
}

}  // namespace nelk_host_tool
