#include "validator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include <nlohmann/json.hpp>

#include "checks.h"

#if !defined(_WIN32)
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace nelk_validator {

namespace {

bool selected(const validator_options& options, const std::string& id) {
    const bool inOnly = options.only.empty() || std::find(options.only.begin(), options.only.end(), id) != options.only.end();
    return inOnly && std::find(options.skip.begin(), options.skip.end(), id) == options.skip.end();
}

check_outcome runHere(const check& each, const check_settings& settings) {
    try {
        return each.run(settings);
    } catch (const std::exception& error) {
        return {check_status::crashed, std::string("an exception escaped: ") + error.what()};
    } catch (...) {
        return {check_status::crashed, "an exception escaped"};
    }
}

#if !defined(_WIN32)
// Runs the check in a child process: a crash or a hang there is reported, and the parent goes
// on. The child writes its status and reason to a pipe; it is killed when the watchdog fires.
// What the child wrote to standard error (the component's traces, a sanitizer's report) is kept
// in `errors` and shown only when the check did not pass.
check_outcome runIsolated(const check& each, const check_settings& settings, double timeoutSeconds,
                          std::string& errors) {
    int channel[2];
    if (pipe(channel) != 0) return runHere(each, settings);
    std::FILE* log = std::tmpfile();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        if (log != nullptr) std::fclose(log);
        return runHere(each, settings);
    }
    if (child == 0) {
        close(channel[0]);
        if (log != nullptr) dup2(fileno(log), 2);
        const check_outcome outcome = runHere(each, settings);
        const std::string message = std::to_string(static_cast<int>(outcome.status)) + " " + outcome.reason;
        ssize_t written = write(channel[1], message.data(), message.size());
        (void)written;
        close(channel[1]);
        _exit(0);
    }
    close(channel[1]);
    std::string message;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd watch{channel[0], POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        char chunk[4096];
        const ssize_t count = read(channel[0], chunk, sizeof chunk);
        if (count <= 0) break;  // the child closed its end: it finished or died
        message.append(chunk, static_cast<std::size_t>(count));
    }
    close(channel[0]);
    if (timedOut) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (log != nullptr) {
        std::rewind(log);
        char chunk[4096];
        std::size_t count;
        while ((count = std::fread(chunk, 1, sizeof chunk, log)) > 0) errors.append(chunk, count);
        std::fclose(log);
    }
    if (timedOut) {
        return {check_status::timeout, "no result after " + std::to_string(static_cast<int>(timeoutSeconds)) + " s"};
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        return {check_status::crashed, std::string("signal ") + std::to_string(signal) + " (" + strsignal(signal) + ")"};
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || message.empty()) {
        return {check_status::crashed, "the check's process exited with status " + std::to_string(WEXITSTATUS(status)) +
                                           " before reporting (a sanitizer report above?)"};
    }
    const std::size_t space = message.find(' ');
    const int code = std::atoi(message.substr(0, space).c_str());
    return {static_cast<check_status>(code), space == std::string::npos ? "" : message.substr(space + 1)};
}
#endif

std::string reproduce(const validator_options& options, const std::string& library, const std::string& id) {
    std::string command = options.program + " validate '" + library + "' --only " + id + " --seed " +
                          std::to_string(options.seed);
    if (options.iterations != 20000) command += " --iterations " + std::to_string(options.iterations);
    return command;
}

// The end of a long text, where a crash report stands.
std::string lastPart(const std::string& text) {
    const std::size_t keep = 2000;
    return text.size() <= keep ? text : "..." + text.substr(text.size() - keep);
}

bool isFailure(check_status status) {
    return status == check_status::fail || status == check_status::crashed || status == check_status::timeout;
}

}  // namespace

std::string checkList() {
    std::string text;
    for (const check& each : allChecks()) {
        std::string id = each.id;
        id.resize(22, ' ');
        text += id + each.guarantee + "\n";
    }
    return text;
}

bool knownIds(const validator_options& options, std::string& problem) {
    for (const auto* list : {&options.only, &options.skip}) {
        for (const std::string& id : *list) {
            const auto& checks = allChecks();
            if (std::none_of(checks.begin(), checks.end(), [&](const check& each) { return id == each.id; })) {
                problem = "no check \"" + id + "\" (see --list)";
                return false;
            }
        }
    }
    return true;
}

int runValidator(validator_options options) {
    if (!options.seedGiven) options.seed = std::random_device{}() ^ static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
#if defined(_WIN32)
    options.inProcess = true;  // no fork on Windows; every check runs in this process
#endif
    int counts[6] = {};
    nlohmann::ordered_json report;
    report["seed"] = options.seed;
    report["libraries"] = nlohmann::ordered_json::array();
    if (!options.json) std::printf("seed %llu\n", static_cast<unsigned long long>(options.seed));
    for (const std::string& library : options.libraries) {
        if (!options.json) std::printf("%s\n", library.c_str());
        nlohmann::ordered_json checks = nlohmann::ordered_json::array();
        for (const check& each : allChecks()) {
            if (!selected(options, each.id)) {
                ++counts[static_cast<int>(check_status::skip)];
                checks.push_back({{"id", each.id}, {"status", "SKIP"}, {"reason", "not selected"}});
                continue;
            }
            const check_settings settings{library, options.seed, options.iterations};
            std::string errors;
#if defined(_WIN32)
            const check_outcome outcome = runHere(each, settings);
#else
            const check_outcome outcome = options.inProcess ? runHere(each, settings)
                                                            : runIsolated(each, settings, options.timeoutSeconds, errors);
#endif
            ++counts[static_cast<int>(outcome.status)];
            nlohmann::ordered_json entry{{"id", each.id}, {"status", statusName(outcome.status)}, {"reason", outcome.reason}};
            if (isFailure(outcome.status)) entry["reproduce"] = reproduce(options, library, each.id);
            checks.push_back(entry);
            if (options.json) continue;
            std::printf("  %-8s %-20s %s\n", statusName(outcome.status), each.id, outcome.reason.c_str());
            if (isFailure(outcome.status)) {
                std::printf("           reproduce: %s\n", reproduce(options, library, each.id).c_str());
                if (!errors.empty()) std::printf("           standard error, last part:\n%s\n", lastPart(errors).c_str());
            }
            std::fflush(stdout);
        }
        report["libraries"].push_back({{"library", library}, {"checks", checks}});
    }
    const int passed = counts[static_cast<int>(check_status::pass)];
    const int failed = counts[static_cast<int>(check_status::fail)] + counts[static_cast<int>(check_status::crashed)] +
                       counts[static_cast<int>(check_status::timeout)];
    report["summary"] = {{"passed", passed}, {"failed", failed},
                         {"crashed", counts[static_cast<int>(check_status::crashed)]},
                         {"timeout", counts[static_cast<int>(check_status::timeout)]},
                         {"skipped", counts[static_cast<int>(check_status::skip)]},
                         {"warnings", counts[static_cast<int>(check_status::warn)]}};
    if (options.json) {
        std::printf("%s\n", report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else {
        std::printf("%d passed, %d failed, %d skipped, %d warnings\n", passed, failed,
                    counts[static_cast<int>(check_status::skip)], counts[static_cast<int>(check_status::warn)]);
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace nelk_validator
