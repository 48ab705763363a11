#include "isolation.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "call_record.h"
#include "process/child_report.h"
#include "process/child_result.h"
#include "process/supervised_child.h"
#include "guarded_memory.h"
#include "host_sized_thread.h"
#include "process_state.h"
#include "process_watch.h"
#include "process/fork_watch.h"
#include "process/process_guard.h"
#include "host/protocol_coverage.h"
#include "sanitizer_build.h"
#include "stack_symbols.h"


namespace nelk_validator {

using nelk_host_tool::child_report;
using nelk_host_tool::report_file;
using nelk_host_tool::takeHungStack;

namespace {

// The status a child ends with when the guard saw the component end it.
const int endedStatus = 70;

std::string readAll(std::FILE* file) {
    std::string text;
    if (file == nullptr) return text;
    std::fflush(file);
    std::rewind(file);
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, count);
    return text;
}

// What a reader needs of a long output: a sanitizer's report from its first line, or the end.
std::string excerpt(const std::string& output) {
    for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
        const std::size_t found = output.find(marker);
        if (found == std::string::npos) continue;
        const std::size_t start = output.rfind('\n', found);
        return output.substr(start == std::string::npos ? 0 : start + 1, 3000);
    }
    const std::size_t keep = 2000;
    return output.size() <= keep ? output : "..." + output.substr(output.size() - keep);
}

std::string during(const std::string& event) { return event.empty() ? std::string() : " during " + event; }

// valgrind's first error in its log, one line for the reason and the block for the output.
bool firstMemcheckError(const std::string& log, std::string& reason, std::string& block) {
    std::istringstream lines(log);
    std::vector<std::string> error;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 2, "==") != 0) continue;
        const std::size_t end = line.find("== ");
        if (end == std::string::npos) continue;
        const std::string message = line.substr(end + 3);
        // "Thread 2:" heads an error on a thread other than the first: not the error itself.
        if (error.empty() && message.compare(0, 7, "Thread ") == 0 && message.back() == ':') continue;
        if (message.empty() || message.find_first_not_of(' ') == std::string::npos) {
            if (!error.empty()) break;
            continue;
        }
        error.push_back(message);
    }
    if (error.empty()) return false;
    reason = "valgrind memcheck: " + error[0];
    for (std::size_t i = 1; i < error.size() && i < 3; ++i) {
        const std::size_t start = error[i].find_first_not_of(' ');
        reason += "; " + error[i].substr(start == std::string::npos ? 0 : start);
    }
    // Where the address lies ("is on thread 1's stack", "is 0 bytes after a block"): the line
    // that tells a stack overflow from an overrun, wherever it stands in the error.
    for (const std::string& line : error) {
        if (line.find("Address 0x") != std::string::npos && reason.find(line) == std::string::npos) {
            reason += "; " + line.substr(line.find("Address 0x"));
            break;
        }
    }
    const std::size_t overflow = log.find("Stack overflow in thread");
    if (overflow != std::string::npos) {
        const std::size_t end = log.find('\n', overflow);
        reason = "valgrind memcheck: a stack overflow (" + log.substr(overflow, end - overflow) + "); " + reason.substr(19);
    }
    // The component's frames, up to where the validator called it.
    for (const std::string& line : error) {
        block += line + "\n";
        if (line.find("nelk_validator::subject::") != std::string::npos) break;
    }
    return true;
}

}  // namespace

bool memcheckAvailable() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((folder + "/valgrind").c_str(), X_OK) == 0) return true;
    }
    return false;
}

void runChild(const check& each, const check_settings& settings, child_report& report) {
    nelk_host_tool::processCoverage() = {};  // what this check exercises, not what the parent counted
    nelk_host_tool::reportEndingsTo(report, endedStatus);
    watchIn(&report.progress);
    nelk_host_tool::countForkedReturnsIn(&report.forkedReturns);
    nelk_process_guard::describeFaultsWith(describeFault);
    nelk_process_guard::setWhere(each.id);
    nelk_host_tool::noteHostProcess();
    nelk_host_tool::forgetCalls();  // the parent's, copied by fork
    nelk_host_tool::traceProcessName(std::string(each.id) + " on " + settings.library);
#if defined(__GLIBC__) && !defined(NELK_SANITIZED)
    // Freed memory is overwritten, so a component that walks a list a nested call changed, or
    // reads an answer it freed, reads garbage and shows it.
    if (std::getenv("NELK_UNDER_MEMCHECK") == nullptr) mallopt(M_PERTURB, 0xa5);
#endif
    struct stat output {};
    const bool outputKnown = fstat(1, &output) == 0;
    const int threadsBefore = threadCount();
    if (!settings.recordTo.empty()) call_record::writeTo(settings.recordTo);
    check_outcome outcome{check_status::crashed, ""};
    onHostSizedThread([&] {
        nelk_process_guard::arm(true);
        nelk_host_tool::noteHostThread(report);
        outcome = runHere(each, settings);
    });
    // A thread the component left running may still fail: it is given a moment to do so here, in
    // its own check (the guard stays armed), rather than at a random point of a later one.
    for (int waited = 0; waited < 50 && threadCount() > threadsBefore; ++waited) usleep(10000);
    nelk_process_guard::arm(false);
    // The descriptors are the process's, not the component's: closing or replacing them would
    // take a host's own output away.
    struct stat after {};
    const bool kept = fstat(1, &after) == 0 && fstat(2, &after) == 0 && after.st_ino == output.st_ino &&
                      after.st_dev == output.st_dev;
    if (outputKnown && !kept && (outcome.status == check_status::pass || outcome.status == check_status::warn))
        outcome = {check_status::fail, "the component closed or replaced the process's standard output or error"};
    nelk_host_tool::child_result result;
    result.verdict = static_cast<int>(outcome.status);
    result.reason = outcome.reason;
    result.coverage = nelk_host_tool::processCoverage().numbers();
    result.detail = {{"slowCalls", nelk_host_tool::timedCallsJson(nelk_host_tool::slowestCalls())},
                     {"stoppedForTime", outcome.stoppedForTime}};
    result.writeInto(report);
    std::fflush(nullptr);
    if (outcome.endWithExit) {
        // The verdict stands if the C library's exit() ends the process cleanly: the exit
        // handlers the library left behind run now, after it was closed, as at a host's exit.
        report.exitProbe = 1;
        nelk_process_guard::setEvent("the process's exit after the library was closed (the exit handlers it left)");
        nelk_process_guard::arm(true);
        nelk_process_guard::exitOnPurpose();
        std::exit(0);
    }
    _exit(0);
}

namespace {

// In the child: its own process group, its output into `capture`, then the check (or the program
// again under valgrind, which runs the check and reports into the same file). Never returns.
[[noreturn]] void becomeTheCheck(const check& each, const check_settings& settings, const isolation_options& options,
                                 report_file& file, std::FILE* capture, const std::string& memcheckLog) {
    setpgid(0, 0);
    if (capture != nullptr) {
        dup2(fileno(capture), 1);
        dup2(fileno(capture), 2);
    }
    if (!options.memcheck) runChild(each, settings, file.report());
    std::vector<std::string> words = {"valgrind", "--quiet", "--tool=memcheck", "--log-file=" + memcheckLog,
                                      "--child-silent-after-fork=yes", "--leak-check=no", options.program};
    for (const std::string& word : options.childArguments) words.push_back(word);
    words.push_back("--report-file");
    words.push_back(file.path());
    std::vector<char*> arguments;
    for (std::string& word : words) arguments.push_back(&word[0]);
    arguments.push_back(nullptr);
    setenv("NELK_UNDER_MEMCHECK", "1", 1);
    execvp("valgrind", arguments.data());
    nelk_process_guard::writeAll(2, "cannot run valgrind\n");
    _exit(127);
}

// The verdict from the child's report and how its process ended (`seconds`: the watchdog's time,
// for a child that made no progress).
check_outcome verdictOf(const child_report& report, const nelk_host_tool::child_ending& ending, double seconds) {
    using way = nelk_host_tool::child_ending::way;
    const std::string event = report.event;
    const std::optional<nelk_host_tool::child_result> result = nelk_host_tool::child_result::readFrom(report);
    check_outcome outcome{check_status::crashed, ""};
    if (ending.how == way::hung) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", seconds);
        outcome = {check_status::timeout, std::string("no result after ") + limit + " s" +
                                              (event.empty() ? "" : "; the last event delivered was " + event)};
        if (report.hangCaught) outcome.stack = symbolizedStack(report);
    } else if (report.ended) {
        outcome.reason = report.ending;
        outcome.stack = symbolizedStack(report);
    } else if (result && (!report.exitProbe || ending.cleanExit())) {
        outcome = {static_cast<check_status>(result->verdict), result->reason};
        if (result->detail.is_object()) {
            outcome.slowCalls = nelk_host_tool::timedCallsFrom(result->detail.value("slowCalls", nlohmann::json()));
            outcome.stoppedForTime = result->detail.value("stoppedForTime", false);
        }
        nelk_host_tool::processCoverage().merge(nelk_host_tool::coverage_counts::fromNumbers(result->coverage));  // what the check exercised adds to this process's count
    } else if (report.exitProbe) {
        outcome.reason = "the process's exit, after the library was closed, " + ending.sentence() +
                         ": an exit handler the library left behind ran after it was unloaded";
    } else if (ending.how == way::signalled) {
        outcome.reason = "signal " + std::to_string(ending.signal) + " (" + strsignal(ending.signal) + ")" + during(event);
    } else {
        outcome.reason = "the check's process ended with status " + std::to_string(ending.exitStatus) + " without its report" +
                         during(event);
    }
    if (report.forkedReturns > 0) {
        outcome = {check_status::fail, "a process the component forked came back into the host's code (a fork whose child "
                                       "returned from the call): a host would run twice"};
    }
    return outcome;
}

// valgrind's log, read and removed: a memcheck error fails a check that passed, and comes first
// in its output.
void addMemcheckVerdict(const std::string& memcheckLog, check_outcome& outcome) {
    std::ifstream logFile(memcheckLog);
    std::stringstream log;
    log << logFile.rdbuf();
    std::remove(memcheckLog.c_str());
    std::string reason;
    std::string block;
    if (log.str().find("valgrind:  Fatal error") != std::string::npos ||
        log.str().find("valgrind: Fatal error") != std::string::npos) {
        outcome = {check_status::crashed, "valgrind could not run the check; its log follows"};
        outcome.output = log.str().substr(0, 2000) + outcome.output;
    } else if (firstMemcheckError(log.str(), reason, block)) {
        if (outcome.status == check_status::pass || outcome.status == check_status::warn) {
            outcome.status = check_status::fail;
            outcome.reason = reason;
        }
        outcome.output = block + outcome.output;
    }
}

}  // namespace

check_outcome runIsolated(const check& each, const check_settings& settings, const isolation_options& options) {
    std::string problem;
    std::unique_ptr<report_file> file = report_file::create(problem);
    if (!file) return {check_status::crashed, problem};
    std::FILE* capture = std::tmpfile();
    const std::string memcheckLog = options.memcheck ? file->path() + ".memcheck" : std::string();
    nelk_host_tool::supervised_child child;
    if (!child.startFunction([&] { becomeTheCheck(each, settings, options, *file, capture, memcheckLog); }, problem)) {
        if (capture != nullptr) std::fclose(capture);
        return {check_status::crashed, problem};
    }
    const double seconds = options.memcheck ? options.timeoutSeconds * 20 : options.timeoutSeconds;
    nelk_host_tool::child_ending ending = child.wait(seconds, seconds * 30, &file->report().progress);
    if (ending.how == nelk_host_tool::child_ending::way::hung) {
        takeHungStack(child.pid(), file->report());
        child.end();
    } else {
        ending = child.end();  // whatever the component started ends with its check
    }
    const std::string output = readAll(capture);
    if (capture != nullptr) std::fclose(capture);
    check_outcome outcome = verdictOf(file->report(), ending, seconds);
    outcome.output = excerpt(output);
    if (options.memcheck) addMemcheckVerdict(memcheckLog, outcome);
    return outcome;
}

}  // namespace nelk_validator
