#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <iostream>
#include <memory>

#include "check_support.h"
#include "library_exports.h"
#include "process/process_guard.h"
#include "subject.h"

#if defined(__linux__)
#include <dirent.h>
#include <unistd.h>
#endif

namespace nelk_validator {

namespace {

// Threads of this process, or -1 where they cannot be counted.
int threadCount() {
#if defined(__linux__)
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.' ? 1 : 0;
    closedir(tasks);
    return count;
#else
    return -1;
#endif
}

// How far the process's standard output has been written, where it goes to a file (as in a
// check's own process); -1 otherwise.
long long outputWritten() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
#if defined(__linux__)
    return static_cast<long long>(lseek(1, 0, SEEK_CUR));
#else
    return -1;
#endif
}

// A C++ name as written in the source, where it is one.
std::string readableName(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : name;
}


check_outcome libraryLoad(const check_settings& settings) {
    const int threadsBefore = threadCount();
    const long long outputBefore = outputWritten();
    int threadsOpen = threadsBefore;
    {
        opened_library library(settings.library);
        if (!library.loaded()) return fail(library.error());
        threadsOpen = threadCount();
    }
    const long long outputAfter = outputWritten();
    if (threadsOpen > threadsBefore) {
        return fail("opening the library started " + std::to_string(threadsOpen - threadsBefore) +
                    " thread(s); a component library must do no work of its own when it is loaded");
    }
    if (outputBefore >= 0 && outputAfter > outputBefore) {
        return fail("the library wrote " + std::to_string(outputAfter - outputBefore) +
                    " bytes to standard output or error when it was opened or closed; it must do no work of its own then");
    }
    return pass("opened and closed with no crash, exit, exception, thread or output of its own");
}

check_outcome exportsOnlyTheEntry(const check_settings& settings) {
    std::vector<std::string> names;
    std::string problem;
    if (!exportedNames(settings.library, names, problem)) return fail(problem);
    std::vector<std::string> others;
    bool entry = false;
    for (const std::string& name : names) {
        if (name == "load_nelk_client_script") {
            entry = true;
        } else {
            others.push_back(name);
        }
    }
    if (!entry) return fail("the library does not export load_nelk_client_script");
    if (others.empty()) return pass("exports load_nelk_client_script and nothing else");
    std::string listed;
    for (std::size_t i = 0; i < others.size() && i < 5; ++i) listed += (i == 0 ? "" : ", ") + readableName(others[i]);
    if (others.size() > 5) listed += " and " + std::to_string(others.size() - 5) + " more";
    return fail("exports " + std::to_string(others.size()) + " names besides load_nelk_client_script (" + listed +
                "); hide them (a version script, or -fvisibility=hidden)");
}

check_outcome loadUnloadCycle(const check_settings& settings) {
    for (int cycle = 0; cycle < 100; ++cycle) {
        opened_library handle(settings.library);
        if (!handle.loaded()) return fail("cycle " + std::to_string(cycle + 1) + ": " + handle.error());
        subject target(handle.get(), "");
        if (!target.created()) return fail("cycle " + std::to_string(cycle + 1) + ": the entry returned null");
        const component_profile profile = learnProfile(target);
        for (const std::string& name : profile.commands) target.command(name + "=1");
        target.timer(1);
        target.destroy();
        const auto violations = target.violations();
        if (!violations.empty()) return judge(violations, "");
    }
    return pass("100 cycles of open, create, delete, close");
}

check_outcome sideBySide(const check_settings& settings) {
    return onLibrary(settings, [&](const nelk_test_kit::component_library& library, const component_profile& profile) {
        for (const bool reverse : {false, true}) {
            std::vector<std::unique_ptr<subject>> subjects;
            for (int i = 0; i < 3; ++i) {
                subjects.push_back(std::make_unique<subject>(library, ""));
                if (!subjects.back()->created()) return fail("the entry returned null");
            }
            for (auto& each : subjects) exercise(*each, profile);
            std::vector<std::size_t> before;
            for (auto& each : subjects) before.push_back(each->host().lines().size());
            for (int step = 0; step < 3; ++step) {
                const std::size_t index = reverse ? 2 - step : step;
                subjects[index]->destroy();
                // Deleting one sends on its own host only; the others keep working.
                for (std::size_t other = 0; other < 3; ++other) {
                    if (other == index || !subjects[other]->created()) continue;
                    if (subjects[other]->host().lines().size() != before[other])
                        return fail("deleting one component made another one send a line");
                    subjects[other]->command("return=all");
                    before[other] = subjects[other]->host().lines().size();
                }
            }
            std::vector<const subject*> all;
            for (auto& each : subjects) all.push_back(each.get());
            const auto violations = violationsOf(all);
            if (!violations.empty()) return judge(violations, "");
        }
        return pass("three components side by side, deleted in creation order and in reverse");
    });
}

check_outcome createNullHost(const check_settings& settings) {
    return onLibrary(settings, [&](const nelk_test_kit::component_library& library, const component_profile& profile) {
        for (const char* loadText : {"", static_cast<const char*>(nullptr), "layouts"}) {
            subject target(library, loadText, true);
            if (!target.created()) return fail("the entry returned null for a null host");
            exercise(target, profile);
            target.destroy();
        }
        return pass("created, driven and deleted with a null host");
    });
}

check_outcome createLoadTexts(const check_settings& settings) {
    return onLibrary(settings, [&](const nelk_test_kit::component_library& library, const component_profile& profile) {
        const std::string longText(65536, 'd');
        const char* texts[] = {"", nullptr, longText.c_str(), "it's %1 \"quoted\"", "trailing/", "trailing\\"};
        std::vector<std::unique_ptr<subject>> subjects;
        for (const char* text : texts) {
            subjects.push_back(std::make_unique<subject>(library, text));
            if (!subjects.back()->created()) return fail("the entry returned null for a load text");
            exercise(*subjects.back(), profile);
            subjects.back()->destroy();
        }
        std::vector<const subject*> all;
        for (auto& each : subjects) all.push_back(each.get());
        return judge(violationsOf(all), "empty, null, 64 KB, quoted and slash-ended load texts");
    });
}

}  // namespace

const std::vector<check>& lifecycleChecks() {
    static const std::vector<check> checks = {
        {"library-load", "opening and closing the library runs no code of its own: no crash, exit, thread or output", libraryLoad},
        {"exports", "the library exports load_nelk_client_script and nothing else", exportsOnlyTheEntry},
        {"load-unload-cycle", "the library opens, creates, deletes and closes 100 times in one process", loadUnloadCycle},
        {"side-by-side", "components of one library share nothing and may be deleted in any order", sideBySide},
        {"create-null-host", "a component created with a null host works and sends nothing", createNullHost},
        {"create-load-texts", "empty, null, long and odd load texts are taken", createLoadTexts},
    };
    return checks;
}

}  // namespace nelk_validator
