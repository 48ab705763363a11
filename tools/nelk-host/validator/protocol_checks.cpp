#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "check_support.h"
#include "subject.h"

namespace nelk_validator {

namespace {

std::vector<answer_text> hostileAnswers() {
    std::string commas = "alm_1";
    for (int i = 2; i <= 300; ++i) commas += i % 7 == 0 ? ",," : ",alm_" + std::to_string(i);
    return {
        {true, ""},
        {false, ""},
        {false, "value=" + std::string(1 << 20, 'x')},
        {false, "no equals sign"},
        {false, commas},
        {false, "%1=%2%3"},
        {false, "value=4"},
        {false, "value=1"},
        {false, "alm_1,alm_2"},
        {false, "value=%1"},
    };
}


check_outcome lineGrammar(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        exercise(target, profile);
        target.destroy();
        return judge(ofCategories(target.violations(), {"grammar", "kind"}),
                     std::to_string(target.host().lines().size()) + " lines, all well-formed");
    }, check_start{"layouts", {}});
}

check_outcome shutdownLast(const check_settings& settings) {
    return onTwoComponents(settings, [](subject& busy, subject& idle, const component_profile& profile) {
        exercise(busy, profile);
        idle.destroy();
        busy.destroy();
        auto violations = ofCategories(idle.violations(), {"shutdown"});
        for (const std::string& each : ofCategories(busy.violations(), {"shutdown"})) violations.push_back(each);
        return judge(violations, "\"AS\" sent once, last, by an idle and a busy component");
    });
}

check_outcome answerLifetime(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        std::vector<std::string> commands = {"_commands", "return=all", "_events"};
        for (const std::string& name : profile.commands) {
            commands.push_back(name + "=12");
            commands.push_back(name);
        }
        commands.push_back("return=all");
        commands.push_back("anything");
        struct kept {
            const char* pointer;
            std::string copy;
            std::string command;
        };
        std::vector<kept> answers;
        for (int round = 0; round < 8; ++round) {
            for (const std::string& text : commands) {
                const char* answer = target.ask(text.c_str());
                if (answer != nullptr) answers.push_back({answer, answer, text});
                // Other calls come before the give-back. A copy: a component may register from
                // inside a slot event, which grows the host's list while this walks it.
                const std::vector<registration> registered = target.host().registrations();
                for (const registration& each : registered) target.slot(each.driver, each.first, std::string("meanwhile"));
                target.slot(12, 7, std::string("meanwhile"));
                target.timer(round);
            }
        }
        std::string problem;
        for (const kept& each : answers) {
            if (problem.empty() && std::strcmp(each.pointer, each.copy.c_str()) != 0)
                problem = "the answer to \"" + each.command + "\" changed before the host gave it back";
        }
        int empty = 0;
        for (const kept& each : answers) empty += each.copy.empty() ? 1 : 0;
        for (const kept& each : answers) target.giveBack(each.pointer);
        target.destroy();
        if (!problem.empty()) return fail(problem);
        const check_outcome outcome =
            judge(target.violations(), std::to_string(answers.size()) + " answers stayed unchanged until given back");
        // An empty answer works, but the host then has a text to give back for nothing.
        if (outcome.status == check_status::pass && empty > 0)
            return warn(std::to_string(empty) + " answers were empty texts; an empty answer should be null");
        return outcome;
    });
}

check_outcome hostTextGiveBack(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        for (int round = 0; round < 3; ++round) exercise(target, profile);
        target.destroy();
        const int handed = target.host().rules().textsHandedOut();
        const std::string reason = handed == 0 ? "the component sent no \"TG\" or \"XI\"; nothing to give back"
                                               : std::to_string(handed) + " host texts, each given back once";
        return judge(ofCategories(target.violations(), {"give-back"}), reason);
    }, check_start{"", hostileAnswers()});
}

check_outcome nestedCalls(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        int nested = 0;
        int kind = 0;
        target.host().nestWith([&](const std::string&) {
            if (target.component() == nullptr) return;
            ++nested;
            kind = kind % nelk_kind::last + 1;
            switch (kind) {
            case nelk_kind::slotValue: target.slot(12, 7, std::string("nested slot")); break;
            case nelk_kind::controlEvent: target.control(std::string("nested"), std::string("press=1")); break;
            case nelk_kind::commandText:
            case nelk_kind::giveBackAnswer: target.command("return=all"); break;
            case nelk_kind::timerFired: target.timer(2); break;
            case nelk_kind::dataPointer: target.data("nested"); break;
            default: target.number(3); break;
            }
        });
        for (int round = 0; round < 3; ++round) exercise(target, profile);
        target.destroy();
        return judge(target.violations(), std::to_string(nested) + " calls made from inside hostSend");
    });
}

check_outcome callDiscipline(const check_settings& settings) {
    return onTwoComponents(settings, [&](subject& first, subject& second, const component_profile& profile) {
        // Two components driven in turn: each line must come on its own host object, while a call
        // into it is in progress, from the thread that made the call.
        for (int round = 0; round < 3; ++round) {
            exercise(first, profile);
            exercise(second, profile);
        }
        // Then no call for a while, in which a thread of the component's own that sends on its
        // own schedule is seen doing so even on a machine too busy to run it during the calls.
        for (int idle = 0; idle < 20 && ofCategories(violationsOf({&first, &second}), {"call"}).empty(); ++idle)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        first.destroy();
        second.destroy();
        return judge(ofCategories(violationsOf({&first, &second}), {"call"}),
                     "every line came on its own host object, inside a call, from the calling thread");
    });
}

check_outcome reentrantChanges(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        exercise(target, profile);
        // While the component walks its state for one event, the host changes that state: from
        // inside hostSend, a slot event during a slot event and a command during a command.
        int outer = 0;
        std::size_t next = 0;
        int nested = 0;
        const std::vector<std::string>& values = edgeValues();
        target.host().nestWith([&](const std::string&) {
            ++nested;
            const std::vector<registration>& slots = target.host().registrations();
            if (outer == nelk_kind::slotValue && !slots.empty()) {
                const registration& where = slots[next % slots.size()];
                target.slot(where.driver, where.first, std::string("nested slot text ") + std::to_string(next));
            }
            if (!profile.commands.empty()) {
                const std::string& name = profile.commands[next % profile.commands.size()];
                target.command(name + "=" + values[next % values.size()]);
            }
            ++next;
        });
        for (int round = 0; round < 40; ++round) {
            outer = nelk_kind::slotValue;
            for (const registration& each : std::vector<registration>(target.host().registrations()))
                target.slot(each.driver, each.first, std::string("outer slot text ") + std::to_string(round));
            outer = nelk_kind::commandText;
            for (const std::string& name : profile.commands) target.command(name + "=" + std::to_string(round));
        }
        target.destroy();
        return judge(target.violations(), std::to_string(nested) + " state changes made while an outer call still ran");
    });
}

// Well-formed lines that would still do the wrong thing to a real host.
check_outcome lineMeaning(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        target.host().keepLines(false);
        // Registrations counted after a warm-up and twice more: a component that keeps what it
        // needs stops; one that registers anew at events goes on.
        std::vector<std::size_t> live;
        for (int round = 1; round <= 25; ++round) {
            exercise(target, profile);
            target.timer(round % 5 + 2);
            if (round == 5 || round == 15 || round == 25) live.push_back(target.host().liveRegistrations());
        }
        // A host deletes a panel whenever the operator closes it, bound or not: the deletion
        // comes with every command at a plain value, as a bound component has its settings
        // (exercise ends with the settings' starting values, which unbind most components).
        for (const std::string& name : profile.commands) target.command(name + "=7");
        target.destroy();
        std::vector<std::string> problems = target.violations();
        // "ET" of a timer that is not running does the host no harm: a warning, unless more is wrong.
        std::vector<std::string> strayStops;
        for (const std::string& each : target.meaningProblems())
            (each.rfind("meaning: \"ET ", 0) == 0 ? strayStops : problems).push_back(each);
        if (live[1] > live[0] && live[2] > live[1] && live[2] - live[0] >= 20)
            problems.push_back("meaning: the live registrations kept growing with events (" + std::to_string(live[0]) + ", " +
                               std::to_string(live[1]) + ", " + std::to_string(live[2]) +
                               " after 5, 15 and 25 rounds): the component registers anew and never ends them");
        if (problems.empty() && !strayStops.empty())
            return warn(strayStops.front() + " (harmless to a host, which ignores it; a timer the component means to "
                                             "stop may have another id)");
        return judge(problems, "no lines joined by a line feed, panels by number, every \"ET\" of a timer fired, every "
                               "registration ended before \"AS\", registrations that do not keep growing");
    });
}

// The host a component meets in a panel: "PS" answered 0 when the layout is missing, events
// before any command, the slot's current text reported after "IR", a write reported back to the
// registered writer.
check_outcome hostActs(const check_settings& settings) {
    return onLibrary(settings, [&](const nelk_test_kit::component_library& library, const component_profile& profile) {
        std::vector<std::unique_ptr<subject>> subjects;
        for (const int shown : {0, 1}) {
            host_behaviour acting;
            acting.psAnswer = shown;
            acting.reportsSlots = true;
            subjects.push_back(std::make_unique<subject>(library, "", false, acting));
            subject& target = *subjects.back();
            if (!target.created()) return fail("the entry returned null");
            for (int slot = 1; slot <= 16; ++slot) {
                for (const int driver : {1, 5, 12}) target.host().storeSlot(driver, slot, "held " + std::to_string(slot));
            }
            // A host sends what it has before any command: slot texts, a control, a timer.
            target.slot(12, 7, std::string("early"));
            target.slot(1, 1, std::string("early"));
            target.control(std::string("ActionAll"), std::string("alarm=1"));
            target.timer(1);
            target.number(1);
            target.data("early");
            for (int round = 0; round < 3; ++round) exercise(target, profile);
            target.destroy();
        }
        std::vector<const subject*> all;
        for (auto& each : subjects) all.push_back(each.get());
        std::vector<std::string> problems = violationsOf(all);
        for (auto& each : subjects) {
            for (const std::string& problem : each->meaningProblems()) {
                if (problem.find("feed back") != std::string::npos) problems.push_back(problem);
            }
        }
        return judge(problems, "\"PS\" answered 0 and 1, events before any command, slot texts reported after \"IR\" "
                               "and writes reported back, as a panel host does");
    });
}

}  // namespace

const std::vector<check>& protocolChecks() {
    static const std::vector<check> checks = {
        {"line-grammar", "every line is one of the nine verbs with well-formed arguments", lineGrammar},
        {"shutdown-last", "\"AS\" is sent exactly once, last, and nothing follows it", shutdownLast},
        {"answer-lifetime", "a kind-3 answer stays readable and unchanged until the host gives it back", answerLifetime},
        {"host-text-give-back", "every \"TG\"/\"XI\" answer is given back once and never touched after", hostTextGiveBack},
        {"call-discipline", "every line comes on the component's own host object, inside a call, from the calling thread", callDiscipline},
        {"nested-calls", "calls made from inside hostSend are handled", nestedCalls},
        {"reentrant-changes", "state changed by a nested call while an outer call still walks it does no harm", reentrantChanges},
        {"line-meaning", "no line would do the wrong thing to a real host: joined lines, odd panels, stray \"ET\", registrations left",
         lineMeaning},
        {"host-acts", "\"PS\" answered 0, events before any command, slot texts and writes reported back do no harm", hostActs},
    };
    return checks;
}

}  // namespace nelk_validator
