#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include <algorithm>

#include "check_support.h"
#include "image_checks.h"
#include "host/panel_layout.h"
#include "line_parser.h"
#include "library_exports.h"
#include "process/process_guard.h"
#include "process_state.h"
#include "subject.h"

#if defined(__linux__)
#include <unistd.h>
#endif

namespace nelk_validator {

namespace {

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
    return judgeExports(names);
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

// One session, the same for every instance it is run on: what the instance sent and answered,
// from its creation to its deletion. It learns what the instance offers itself, so that the
// first instance of the library can be the first one run.
std::vector<std::string> sameSession(subject& target) {
    const component_profile profile = learnProfile(target);
    std::vector<std::string> seen;
    const auto answered = [&](const char* text) {
        const std::optional<std::string> answer = target.command(text);
        seen.push_back(std::string("answer to ") + text + ": " + shortText(answer));
    };
    answered("return=all");
    for (const std::string& name : profile.commands) {
        for (const char* value : {"3", "12"}) answered((name + "=" + value).c_str());
    }
    answered("return=all");
    const std::vector<registration> registered = target.host().registrations();
    for (const registration& each : registered) target.slot(each.driver, each.first, std::string("same text"));
    target.control(std::string("ActionAll"), std::string("alarm=1"));
    target.timer(3);
    target.number(5);
    answered("return=all");
    target.destroy();
    for (const std::string& line : target.host().lines()) seen.push_back("line: " + line);
    return seen;
}

// Where two sessions part, for the report.
std::string firstDifference(const std::vector<std::string>& expected, const std::vector<std::string>& got) {
    for (std::size_t at = 0; at < expected.size() || at < got.size(); ++at) {
        const std::string want = at < expected.size() ? expected[at] : "(nothing)";
        const std::string have = at < got.size() ? got[at] : "(nothing)";
        if (want != have) return "\"" + nelk_test_kit::escaped(want) + "\" became \"" + nelk_test_kit::escaped(have) + "\"";
    }
    return "";
}

// Many live at once: no fixed table of instances. 100 made, set apart, and deleted newest first.
check_outcome manyAtOnce(const nelk_test_kit::component_library& library, const component_profile& profile) {
    std::vector<std::unique_ptr<subject>> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back(std::make_unique<subject>(library, ""));
        if (!many.back()->created()) return fail("the entry returned null for instance " + std::to_string(i + 1) + " of 100");
        many.back()->command("return=all");
        for (const std::string& name : profile.commands) many.back()->command(name + "=" + std::to_string(i % 13 + 1));
    }
    for (auto each = many.rbegin(); each != many.rend(); ++each) (*each)->destroy();
    std::vector<const subject*> all;
    for (auto& each : many) all.push_back(each.get());
    return judge(violationsOf(all), "instances deleted and made again, side by side, called from inside each other and "
                                    "100 at once behave alike and share nothing");
}

check_outcome instancesIndependent(const check_settings& settings) {
    const opened_library opened(settings.library);
    if (!opened.loaded()) return fail(opened.error());
    const nelk_test_kit::component_library& library = opened.get();
    {
        // The library's first instance, before any other: what only a first instance does shows.
        subject first(library, "");
        if (!first.created()) return fail("the entry returned null");
        const std::vector<std::string> reference = sameSession(first);
        if (!first.violations().empty()) return judge(first.violations(), "");
        // Deleted and made again: the same session gives the same lines and answers.
        subject again(library, "");
        if (!again.created()) return fail("the entry returned null the second time");
        const std::string recreated = firstDifference(reference, sameSession(again));
        if (!recreated.empty())
            return fail("a new instance after the first was deleted ran the same session differently: " + recreated +
                        " (state kept in statics, or an answer that changes from run to run)");
        // Beside an instance whose settings differ, the same session still gives the same.
        subject other(library, "");
        subject beside(library, "");
        if (!other.created() || !beside.created()) return fail("the entry returned null for a second live instance");
        const component_profile profile = learnProfile(other);
        for (const std::string& name : profile.commands) other.command(name + "=5");
        other.command("text=other");
        const std::string sideBySide = firstDifference(reference, sameSession(beside));
        if (!sideBySide.empty())
            return fail("an instance beside one with other settings ran the same session differently: " + sideBySide +
                        " (settings shared between instances)");
        // While another instance is being called, a call into this one (from inside its hostSend).
        subject inner(library, "");
        if (!inner.created()) return fail("the entry returned null for a second live instance");
        int crossed = 0;
        other.host().nestWith([&](const std::string&) {
            if (inner.component() == nullptr || crossed > 200) return;
            ++crossed;
            inner.command("return=all");
            const std::vector<registration> registered = inner.host().registrations();
            for (const registration& each : registered) inner.slot(each.driver, each.first, std::string("crossed"));
        });
        exercise(other, profile);
        other.host().stopNesting();
        exercise(inner, profile);
        other.destroy();
        inner.destroy();
        const auto crossedViolations = violationsOf({&again, &beside, &other, &inner});
        if (!crossedViolations.empty()) return judge(crossedViolations, "");
        return manyAtOnce(library, profile);
    }
}

// A real layout folder as the load text (the library's own, as a host gives it): the layout
// "PS" names is there, every control of it takes an event, and "TP"/"TG" name its controls.
check_outcome layoutNames(const check_settings& settings) {
    const std::string path = settings.library;
    const std::size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::vector<std::string> doubts;
    const check_outcome outcome = onComponent(settings, [&](subject& target, const component_profile& profile) {
        exercise(target, profile);
        std::vector<std::string> ids;
        std::string panel;
        for (const std::string& shown : target.host().shownLayouts()) {
            const nelk_test_kit::line_reading reading = nelk_test_kit::readLine(shown.c_str());
            if (!reading.line) continue;
            panel = reading.line->texts.at(0);
            const std::string& file = reading.line->texts.at(1);
            std::string problem;
            const nelk_host_tool::panel_layout layout = nelk_host_tool::loadLayout(file, problem);
            if (!problem.empty() && layout.controls().empty()) {
                doubts.push_back("\"PS\" names " + file + ", which is not a layout in the load-text folder (" + problem + ")");
                continue;
            }
            for (const auto& control : layout.controls()) ids.push_back(control.id);
        }
        // Every control of the layout, as a user would press it.
        for (const std::string& id : ids) {
            target.control(id, std::string("press=1"));
            target.control(id, std::string("alarm=1"));
        }
        if (!ids.empty()) {
            for (const std::string& line : target.host().lines()) {
                const nelk_test_kit::line_reading reading = nelk_test_kit::readLine(line.c_str());
                if (!reading.line) continue;
                const auto& read = *reading.line;
                std::string control;
                if (read.verb == nelk_verb::TP && read.texts.at(1) == panel) control = read.texts.at(2);
                if (read.verb == nelk_verb::TG && read.texts.at(0) == panel) control = read.texts.at(1);
                if (!control.empty() && std::find(ids.begin(), ids.end(), control) == ids.end()) {
                    doubts.push_back("\"" + nelk_test_kit::escaped(line) + "\" names a control the shown layout does not have");
                    break;
                }
            }
        }
        target.destroy();
        return judge(target.violations(), std::to_string(ids.size()) + " controls of the shown layout, each pressed");
    }, check_start{folder.c_str(), {}});
    if (outcome.status != check_status::pass || doubts.empty()) return outcome;
    return warn(doubts.front() + (doubts.size() > 1 ? " (and " + std::to_string(doubts.size() - 1) + " more)" : ""));
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
        {"instances-independent", "instances made again, side by side, nested or by the hundred behave alike and share nothing",
         instancesIndependent},
        {"layout-names", "given its folder, the layout \"PS\" names is there and \"TP\"/\"TG\" name its controls (WARN)",
         layoutNames},
    };
    return checks;
}

}  // namespace nelk_validator
