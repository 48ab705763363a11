#include "isolated_file.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <nlohmann/json.hpp>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "guarded_host.h"
#include "host_rules.h"
#include "reports/run_reports.h"
#include "process/process_guard.h"

namespace nelk_host_tool {

namespace {

// What the child leaves for the parent as it goes, in memory the two share: it outlives a
// component that ends the process.
struct file_progress {
    volatile std::uint64_t statements;  // how many statements began
    char where[512];                    // "file:line" of the one running
    char line[1024];                    // its text
    char event[1024];                   // the event being delivered (the process guard keeps it)
    volatile int ended;                 // the guard saw the process end
    char ending[2048];                  // how, in its words
};

file_progress* progress = nullptr;

void copyText(char* into, std::size_t size, const std::string& text) {
    into[0] = '\0';
    nelk_process_guard::append(into, size, text.c_str());
}

void keepEnding(const nelk_process_guard::ending& end) {
    nelk_process_guard::appendEnding(progress->ending, sizeof progress->ending, end);
    progress->ended = 1;
}

nlohmann::ordered_json caseJson(const junit_case& result) {
    return {{"message", result.message},
            {"details", result.details},
            {"output", result.output},
            {"seconds", result.seconds},
            {"outcome", static_cast<int>(result.outcome)}};
}

// The child's work: runs the file as the run would, with the guard armed, and writes its result
// into `resultFile`.
void writeResult(const host_options& host, const std::string& file, bool strict, std::FILE* resultFile) {
    const guarded_run guard(host, "the run goes on with the next file", keepEnding);
    nelk_process_guard::keepEventIn(progress->event, sizeof progress->event);
    host_session session(host);
    session.runner.setStrict(strict);
    session.output.listen([](const nlohmann::ordered_json& event) {
        if (event.value("event", "") != "statement") return;
        copyText(progress->where, sizeof progress->where, event.value("where", ""));
        copyText(progress->line, sizeof progress->line, event.value("text", ""));
        progress->statements = progress->statements + 1;
    });
    junit_case result;
    collectScenarioCase(session.output, result);
    const auto started = std::chrono::steady_clock::now();
    const statement_result outcome = session.runner.runFile(file);
    finishScenarioCase(result, outcome, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    nlohmann::ordered_json counts = nlohmann::ordered_json::array();
    for (const std::uint64_t count : processCoverage().counts) counts.push_back(count);
    const std::string text =
        jsonText({{"result", static_cast<int>(outcome)}, {"case", caseJson(result)}, {"coverage", counts}});
    std::fwrite(text.data(), 1, text.size(), resultFile);
}

// The child: the file, then its end; the guard is disarmed by then (its own _exit is not the
// component's).
[[noreturn]] void runChild(const host_options& host, const std::string& file, bool strict, std::FILE* resultFile) {
    processCoverage() = {};
    writeResult(host, file, strict, resultFile);
    std::fflush(nullptr);
    _exit(0);
}

std::string readAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, count);
    return text;
}

// The outcome the child wrote; false when there is none to read.
bool readOutcome(std::FILE* resultFile, file_outcome& outcome) {
    const nlohmann::ordered_json written = nlohmann::ordered_json::parse(readAll(resultFile), nullptr, false);
    if (!written.is_object()) return false;
    outcome.result = static_cast<statement_result>(written.value("result", 1));
    const nlohmann::ordered_json& result = written["case"];
    outcome.junit.message = result.value("message", "");
    outcome.junit.details = result.value("details", "");
    outcome.junit.output = result.value("output", "");
    outcome.junit.seconds = result.value("seconds", 0.0);
    outcome.junit.outcome = static_cast<junit_case::verdict>(result.value("outcome", 1));
    const nlohmann::ordered_json& counts = written["coverage"];
    for (std::size_t i = 0; i < counts.size() && i < outcome.coverage.counts.size(); ++i)
        outcome.coverage.counts[i] = counts[i].get<std::uint64_t>();
    return true;
}

// The file failed with `message` (said here when the child could not say it).
void failed(file_outcome& outcome, const std::string& message, double seconds) {
    outcome.result = statement_result::failed;
    outcome.junit.outcome = junit_case::verdict::error;
    outcome.junit.message = message;
    outcome.junit.details = message + "\n";
    outcome.junit.seconds = seconds;
}

}  // namespace

file_outcome runFileIsolated(const host_options& host, const std::string& file, bool strict, double timeoutSeconds) {
    file_outcome outcome;
    outcome.junit.name = file;
    outcome.junit.className = "scenario";
    void* shared = mmap(nullptr, sizeof(file_progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    std::FILE* resultFile = std::tmpfile();
    transcript said(stdout, host.style(), host.colour());
    if (shared == MAP_FAILED || resultFile == nullptr) {
        if (resultFile != nullptr) std::fclose(resultFile);
        if (shared != MAP_FAILED) munmap(shared, sizeof(file_progress));
        failed(outcome, file + ": nelk-host cannot make the file's process: " + std::strerror(errno), 0);
        said.error(file, outcome.junit.message);
        return outcome;
    }
    progress = static_cast<file_progress*>(shared);
    std::memset(shared, 0, sizeof(file_progress));
    std::fflush(nullptr);
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        runChild(host, file, strict, resultFile);
    }
    setpgid(child, child);
    // Watches the statement in progress: one that runs past the timeout ends the child.
    std::uint64_t watched = ~0ULL;
    auto since = std::chrono::steady_clock::now();
    int status = 0;
    bool hung = false;
    for (;;) {
        const pid_t done = child > 0 ? waitpid(child, &status, WNOHANG) : -1;
        if (done == child || (done < 0 && errno != EINTR)) break;
        const auto now = std::chrono::steady_clock::now();
        if (progress->statements != watched) {
            watched = progress->statements;
            since = now;
        } else if (std::chrono::duration<double>(now - since).count() > timeoutSeconds) {
            hung = true;
            kill(-child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string where = progress->where[0] != '\0' ? progress->where : file;
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", timeoutSeconds);
    if (child < 0) {
        failed(outcome, file + ": nelk-host cannot start the file's process: " + std::strerror(errno), seconds);
        said.error(file, outcome.junit.message);
    } else if (hung) {
        const std::string event = progress->event;
        failed(outcome,
               where + ": the component hung in `" + nelk_test_kit::escaped(progress->line, true) + "`: no result after " +
                   limit + " s" + (event.empty() ? "" : "; the last event delivered was " + event) +
                   "; the run goes on with the next file",
               seconds);
        said.error(where, outcome.junit.message.substr(where.size() + 2));
    } else if (progress->ended) {
        failed(outcome, where + ": " + progress->ending + "; the run goes on with the next file", seconds);  // the child said it
    } else if (!readOutcome(resultFile, outcome)) {
        const std::string how = WIFSIGNALED(status) ? "ended with signal " + std::to_string(WTERMSIG(status))
                                                    : "ended with status " + std::to_string(WEXITSTATUS(status));
        failed(outcome, where + ": the file's process " + how + " before it could report", seconds);
        said.error(where, outcome.junit.message.substr(where.size() + 2));
    }
    std::fclose(resultFile);
    munmap(shared, sizeof(file_progress));
    progress = nullptr;
    return outcome;
}

}  // namespace nelk_host_tool
