// The checks of what a component leaves in the process around and after its calls: the
// process-wide state it changes, what outlives it (threads, processes, exit handlers, the library
// itself), and resources that grow where the heap figure does not look.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "check_support.h"
#include "guarded_memory.h"
#include "process_state.h"
#include "subject.h"

#if !defined(_WIN32)
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace nelk_validator {

namespace {

// Mappings of the memory map that are not the validator's own guarded pages, or -1.
int mappingCount() {
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr) return -1;
    int count = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
        const unsigned long long start = std::strtoull(line, nullptr, 16);
        if (!isGuarded(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(start)))) ++count;
    }
    std::fclose(maps);
    return count;
}

// Processes whose parent is this one, or -1.
int childCount() {
#if defined(_WIN32)
    return -1;
#else
    DIR* processes = opendir("/proc");
    if (processes == nullptr) return -1;
    const std::string self = std::to_string(getpid());
    int count = 0;
    while (const dirent* entry = readdir(processes)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        std::FILE* status = std::fopen(("/proc/" + std::string(entry->d_name) + "/stat").c_str(), "r");
        if (status == nullptr) continue;
        char text[512] = "";
        const std::size_t read = std::fread(text, 1, sizeof text - 1, status);
        std::fclose(status);
        text[read] = '\0';
        // "pid (name) state ppid ...": the name may hold spaces, so read after its last ')'.
        const char* close = std::strrchr(text, ')');
        int parent = 0;
        char state = 0;
        if (close != nullptr && std::sscanf(close + 1, " %c %d", &state, &parent) == 2 && std::to_string(parent) == self) ++count;
    }
    closedir(processes);
    return count;
#endif
}

// Waits up to `seconds` for `now()` to come down to `wanted`; the last count.
template <typename Count> int settle(Count now, int wanted, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int count = now();
    while (count > wanted && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        count = now();
    }
    return count;
}

// The state of the process before and after components of the library ran (created, driven,
// deleted, with the library still open, then closed), and whether the environment points into
// the library's memory.
check_outcome processState(const check_settings& settings) {
    const process_state before = process_state::take();
    std::vector<std::string> changes;
    std::vector<std::string> dangling;
    {
        const opened_library library(settings.library);
        if (!library.loaded()) return fail(library.error());
        const component_profile profile = profileOf(library.get());
        {
            subject first(library.get(), "");
            subject second(library.get(), "layouts");
            if (!first.created() || !second.created()) return fail("the entry returned null");
            for (int round = 0; round < 3; ++round) {
                exercise(first, profile);
                exercise(second, profile);
            }
            first.destroy();
            second.destroy();
            const auto violations = violationsOf({&first, &second});
            if (!violations.empty()) return judge(violations, "");
        }
        // Taken while the library is open: an environment entry in its memory is still readable.
        dangling = process_state::environmentInto(settings.library);
        changes = before.changesIn(process_state::take());
        before.restore();
    }
    for (const std::string& each : before.changesIn(process_state::take())) changes.push_back(each + " (when the library was closed)");
    before.restore();
    if (!dangling.empty())
        return fail("the environment holds " + dangling.front() + ", whose text lies in the library's own memory (putenv): it "
                    "dangles once the library is unloaded");
    if (!changes.empty()) {
        std::string text = changes.front();
        if (changes.size() > 1) text += " (and " + std::to_string(changes.size() - 1) + " more)";
        return fail(text + ": a component must leave the host's process as it found it");
    }
    return pass("working directory, umask, locale, signal handlers and mask, alarm, floating-point environment, standard "
                "descriptors, environment, random sequence and stream formats as they were");
}

// Nothing of the component outlives it: no thread after every component was deleted, no child
// process, no exit handler after the library was closed; and the library really unloads.
check_outcome outlivesNothing(const check_settings& settings) {
    const int threadsBefore = threadCount();
    const int childrenBefore = childCount();
    std::string library = settings.library;
    {
        const opened_library opened(library);
        if (!opened.loaded()) return fail(opened.error());
        const component_profile profile = profileOf(opened.get());
        std::vector<std::unique_ptr<subject>> subjects;
        for (const char* text : {"", "layouts"}) {
            subjects.push_back(std::make_unique<subject>(opened.get(), text));
            if (!subjects.back()->created()) return fail("the entry returned null");
        }
        for (int round = 0; round < 3; ++round) {
            for (auto& each : subjects) exercise(*each, profile);
        }
        for (auto& each : subjects) each->destroy();
        std::vector<const subject*> all;
        for (auto& each : subjects) all.push_back(each.get());
        const auto violations = violationsOf(all);
        if (!violations.empty()) return judge(violations, "");
        // A worker joined in the destructor is gone by now; one left running is not, given a moment.
        const int threadsAfter = settle(threadCount, threadsBefore, 0.5);
        if (threadsBefore >= 0 && threadsAfter > threadsBefore)
            return fail(std::to_string(threadsAfter - threadsBefore) +
                        " thread(s) of the component still ran after every component was deleted: a host may unload the "
                        "library under them");
        const int childrenAfter = settle(childCount, childrenBefore, 0.5);
        if (childrenBefore >= 0 && childrenAfter > childrenBefore)
            return fail(std::to_string(childrenAfter - childrenBefore) +
                        " process(es) the component started still ran after every component was deleted");
    }
    bool stays = false;
#if !defined(_WIN32)
    if (void* again = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
        stays = true;
        dlclose(again);
    }
#endif
    check_outcome outcome = pass("no thread, process or exit handler of the component outlived it, and the library unloaded");
    if (stays)
        outcome = warn("the library stayed loaded after it was closed (marked not to unload, or holding unique symbols): a "
                       "host that reloads it keeps the old code and statics");
    if (!settings.inProcess) {
        // Checked by ending this process through exit(): see runChild.
        outcome.endWithExit = true;
    } else if (outcome.status == check_status::pass) {
        outcome.reason += " (exit handlers are checked only when the check has a process of its own)";
    }
    return outcome;
}

// Descriptors, memory mappings and files in the working directory stay flat over many events
// after a warm-up, where the heap figure does not look.
check_outcome resourcesFlat(const check_settings& settings) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path home = fs::current_path(error);
    // The validator's folder for the run when there is one (it removes it even after a crash).
    const fs::path scratch = (settings.scratch.empty() ? fs::temp_directory_path(error) : fs::path(settings.scratch)) /
                             ("nelk-resources-" + std::to_string(
#if defined(_WIN32)
                                                      0
#else
                                                      getpid()
#endif
                                                      ));
    fs::create_directories(scratch, error);
    fs::current_path(scratch, error);
    if (error) return skip("no scratch folder to run in: " + error.message());
    struct resources {
        int descriptors;
        int mappings;
        long long bytes;  // of the files in the working directory
    };
    const auto measure = [&] {
        long long bytes = 0;
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(scratch, ignored)) {
            if (entry.is_regular_file(ignored)) bytes += static_cast<long long>(entry.file_size(ignored));
        }
        return resources{descriptorCount(), mappingCount(), bytes};
    };
    const check_outcome outcome = onComponent(settings, [&](subject& target, const component_profile& profile) {
        target.host().keepLines(false);
        target.host().rules().keepGivenBack(0);
        // The warm-up also fills the host's bounded records of its last calls.
        for (int round = 0; round < 12 || target.calls() < 2000; ++round) exercise(target, profile);
        const resources before = measure();
        for (int round = 0; round < 60; ++round) exercise(target, profile);
        const resources after = measure();
        target.destroy();
        const auto violations = target.violations();
        if (!violations.empty()) return judge(violations, "");
        if (before.descriptors >= 0 && after.descriptors > before.descriptors)
            return fail(std::to_string(after.descriptors - before.descriptors) +
                        " more open descriptors after 60 rounds of events than after the warm-up: descriptors leak");
        // The allocator maps and unmaps large blocks as it goes; a few more are its own.
        if (before.mappings >= 0 && after.mappings > before.mappings + 16)
            return fail(std::to_string(after.mappings - before.mappings) +
                        " more memory mappings after 60 rounds of events than after the warm-up: mappings leak");
        if (after.bytes > before.bytes)
            return fail("the files in the working directory grew by " + std::to_string(after.bytes - before.bytes) +
                        " bytes over 60 rounds of events: the component writes without bound where the host runs");
        return pass("descriptors, memory mappings and the working directory's files stayed flat over 60 rounds after a warm-up");
    });
    fs::current_path(home, error);
    fs::remove_all(scratch, error);
    return outcome;
}

}  // namespace

const std::vector<check>& processChecks() {
    static const std::vector<check> checks = {
        {"process-state", "the process's directory, masks, locale, signals, floating point, environment and streams stay as they were",
         processState},
        {"outlives-nothing", "no thread, process or exit handler of the component outlives it, and its library unloads",
         outlivesNothing},
        {"resources-flat", "open descriptors, memory mappings and files in the working directory do not grow with events",
         resourcesFlat},
    };
    return checks;
}

}  // namespace nelk_validator
