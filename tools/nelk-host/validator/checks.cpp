#include "checks.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <random>

#include "component_profile.h"
#include "notifications.h"
#include "subject.h"

namespace nelk_validator {

namespace {

using nelk_test_kit::component_library;
using nelk_test_kit::wordFor;

check_outcome pass(const std::string& reason) { return {check_status::pass, reason}; }
check_outcome fail(const std::string& reason) { return {check_status::fail, reason}; }

// The first violation (and how many more), or a pass with `reason`.
check_outcome judge(const std::vector<std::string>& violations, const std::string& reason) {
    if (violations.empty()) return pass(reason);
    std::string text = violations.front();
    if (violations.size() > 1) text += " (and " + std::to_string(violations.size() - 1) + " more)";
    return fail(text);
}

// Violations of the given categories only, for the checks that judge one rule.
std::vector<std::string> ofCategories(const std::vector<std::string>& violations,
                                      std::initializer_list<const char*> categories) {
    std::vector<std::string> selected;
    for (const std::string& each : violations) {
        for (const char* category : categories) {
            const std::size_t size = std::strlen(category);
            if (each.compare(0, size, category) == 0 && each.size() > size && each[size] == ':') selected.push_back(each);
        }
    }
    return selected;
}


#define NELK_OPEN_OR_FAIL(name, settings)                   \
    component_library name((settings).library);             \
    if (!name.loaded()) return fail(name.error())

// What the component says it offers, asked of a component of its own.
component_profile profileOf(const component_library& library) {
    subject probe(library, "");
    component_profile profile = learnProfile(probe);
    probe.destroy();
    return profile;
}

std::string dottedParts(int count) {
    std::string text = "name";
    for (int i = 1; i <= count; ++i) text += ".p" + std::to_string(i);
    return text + "=value";
}

check_outcome loadUnloadCycle(const check_settings& settings) {
    for (int cycle = 0; cycle < 100; ++cycle) {
        component_library library(settings.library);
        if (!library.loaded()) return fail("cycle " + std::to_string(cycle + 1) + ": " + library.error());
        subject target(library, "");
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
    NELK_OPEN_OR_FAIL(library, settings);
    const component_profile profile = profileOf(library);
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
}

check_outcome createNullHost(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    const component_profile profile = profileOf(library);
    for (const char* loadText : {"", static_cast<const char*>(nullptr), "layouts"}) {
        subject target(library, loadText, true);
        if (!target.created()) return fail("the entry returned null for a null host");
        exercise(target, profile);
        target.destroy();
    }
    return pass("created, driven and deleted with a null host");
}

check_outcome createLoadTexts(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    const component_profile profile = profileOf(library);
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
}

check_outcome lineGrammar(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "layouts");
    if (!target.created()) return fail("the entry returned null");
    exercise(target, learnProfile(target));
    target.destroy();
    return judge(ofCategories(target.violations(), {"grammar", "kind"}),
                 std::to_string(target.host().lines().size()) + " lines, all well-formed");
}

check_outcome shutdownLast(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject idle(library, "");
    subject busy(library, "");
    if (!idle.created() || !busy.created()) return fail("the entry returned null");
    exercise(busy, learnProfile(busy));
    idle.destroy();
    busy.destroy();
    auto violations = ofCategories(idle.violations(), {"shutdown"});
    for (const std::string& each : ofCategories(busy.violations(), {"shutdown"})) violations.push_back(each);
    return judge(violations, "\"AS\" sent once, last, by an idle and a busy component");
}

check_outcome answerLifetime(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "");
    if (!target.created()) return fail("the entry returned null");
    const component_profile profile = learnProfile(target);
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
            // Other calls come before the give-back.
            for (const registration& each : target.host().registrations()) target.slot(each.driver, each.first, std::string("meanwhile"));
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
        return {check_status::warn, std::to_string(empty) + " answers were empty texts; an empty answer should be null"};
    return outcome;
}

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

check_outcome hostTextGiveBack(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "");
    if (!target.created()) return fail("the entry returned null");
    target.host().answerWith(hostileAnswers());
    const component_profile profile = learnProfile(target);
    for (int round = 0; round < 3; ++round) exercise(target, profile);
    target.destroy();
    const int handed = target.host().rules().textsHandedOut();
    const std::string reason = handed == 0 ? "the component sent no \"TG\" or \"XI\"; nothing to give back"
                                           : std::to_string(handed) + " host texts, each given back once";
    return judge(ofCategories(target.violations(), {"give-back"}), reason);
}

check_outcome nestedCalls(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "");
    if (!target.created()) return fail("the entry returned null");
    const component_profile profile = learnProfile(target);
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
}

check_outcome oddNotifications(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "");
    if (!target.created()) return fail("the entry returned null");
    const component_profile profile = learnProfile(target);
    char zeroed[64] = {};
    for (int kind : {0, 8, 9, -1, 100, INT_MIN, INT_MAX}) {
        target.call(nullptr, kind, "null data of an unknown kind");
        target.call(zeroed, kind, "zeroed data of an unknown kind");
    }
    for (int kind : {nelk_kind::slotValue, nelk_kind::controlEvent, nelk_kind::giveBackAnswer, nelk_kind::dataPointer})
        target.call(nullptr, kind, "a null pointer");
    const std::string huge(1 << 20, 'h');
    std::vector<std::string> texts = {"", "=", ".", "..=..", dottedParts(31), dottedParts(32), dottedParts(33),
                                      dottedParts(100), huge};
    for (const std::string& name : profile.commands) {
        for (const std::string& value : {std::string("99999999999999999999"), std::to_string(INT_MIN), huge,
                                         std::string("'quoted' it's"), std::string("%1 %2 %9 %99 %")})
            texts.push_back(name + "=" + value);
        texts.push_back(name + ".part.more=1");
    }
    target.command(nullptr);
    for (const std::string& text : texts) target.command(text);
    for (int value : {INT_MIN, INT_MAX, -1, 0}) {
        target.timer(value);
        target.number(value);
    }
    const std::vector<registration> registered = target.host().registrations();
    for (const registration& each : registered) {
        for (const std::optional<std::string>& text : {std::optional<std::string>(), std::optional<std::string>(huge),
                                                       std::optional<std::string>("it's %1 %2 'quoted'")})
            target.slot(each.driver, each.first, text);
    }
    target.slot(12, 7, std::nullopt);
    target.slot(INT_MIN, INT_MAX, std::string("extremes"));
    target.control(std::nullopt, std::string("alarm=1"));
    target.control(std::string("ActionAll"), std::nullopt);
    target.control(huge, std::string("alarm=" + huge));
    target.control(std::string("ActionAll"), dottedParts(40));
    target.control(std::string("ActionAll"), std::string("alarm=1"), true);  // null name and value texts
    target.destroy();
    return judge(target.violations(), "odd kinds, null records and texts, 1 MB texts, 33 parts, extreme numbers");
}

// Every command the component lists, with every value of the edge corpus and seeded random
// values: a command that crashes, hangs or breaks a rule on one value fails here, whatever the seed.
check_outcome commandValues(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "");
    if (!target.created()) return fail("the entry returned null");
    const component_profile profile = learnProfile(target);
    std::mt19937_64 random(settings.seed);
    int sent = 0;
    for (const std::string& name : profile.commands) {
        target.command(name);
        ++sent;
        for (const std::string& value : edgeValues()) {
            target.command(name + "=" + value);
            ++sent;
        }
        for (int i = 0; i < 64; ++i) {
            target.command(name + "=" + randomValue(random));
            ++sent;
        }
        target.command("return=all");
    }
    target.destroy();
    if (profile.commands.empty()) {
        const check_outcome outcome = judge(target.violations(), "");
        if (outcome.status != check_status::pass) return outcome;
        return {check_status::warn,
                "the component lists no commands in its \"_commands\" answer (one name=[value] a line), so no command "
                "was driven; every check ran with the queries and the fixed events only"};
    }
    return judge(target.violations(), std::to_string(profile.commands.size()) + " commands, " + std::to_string(sent) +
                                          " values from the edge corpus and the seed");
}

check_outcome randomStorm(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(library, "");
    if (!target.created()) return fail("the entry returned null");
    target.host().answerWith({{true, ""}, {false, "value=1"}, {false, "alm_1,alm_2"}, {false, ""}, {false, "x"}});
    std::mt19937_64 random(settings.seed);
    std::vector<std::string> names = learnProfile(target).commands;
    for (const char* query : {"return", "_events", "_commands", "alarm", ""}) names.emplace_back(query);
    std::vector<std::string> controls = {"ActionAll", "AckAll", "alm_1", "button"};
    for (int i = 0; i < settings.iterations; ++i) {
        for (const std::string& id : target.host().controls()) {
            if (controls.size() < 16 && std::find(controls.begin(), controls.end(), id) == controls.end()) controls.push_back(id);
        }
        const auto& registrations = target.host().registrations();
        switch (random() % 8) {
        case 0: {
            // Half of the slot values go where the component registered, if it did.
            const bool registered = !registrations.empty() && random() % 2 == 0;
            const registration where = registered ? registrations[random() % registrations.size()] : registration{0, 0, 0};
            const int driver = registered ? where.driver : randomNumber(random);
            const int index = registered ? where.first : randomNumber(random);
            target.slot(driver, index, random() % 10 == 0 ? std::nullopt : std::optional<std::string>(randomText(random)));
            break;
        }
        case 1: {
            const std::string& id = controls[random() % controls.size()];
            target.control(id, names[random() % names.size()] + "=" + randomText(random));
            break;
        }
        case 2:
        case 3: {
            const std::string text = names[random() % names.size()] + (random() % 2 ? "=" : ".") + randomValue(random);
            target.command(random() % 50 == 0 ? nullptr : text.c_str());
            break;
        }
        case 4: target.timer(randomNumber(random)); break;
        case 5: target.number(randomNumber(random)); break;
        case 6: target.data(randomText(random)); break;
        default: {
            // Only kinds outside 1 to 7: a random kind 5 would give back a pointer never answered.
            int kind = static_cast<int>(random() % 12) - 2;
            if (kind >= nelk_kind::first && kind <= nelk_kind::last) kind += nelk_kind::last;
            target.call(wordFor(randomNumber(random)), kind, "a word of an unknown kind");
            break;
        }
        }
    }
    target.destroy();
    return judge(target.violations(), std::to_string(settings.iterations) + " random events");
}

}  // namespace

const char* statusName(check_status status) {
    switch (status) {
    case check_status::pass: return "PASS";
    case check_status::fail: return "FAIL";
    case check_status::skip: return "SKIP";
    case check_status::warn: return "WARN";
    case check_status::crashed: return "CRASHED";
    case check_status::timeout: return "TIMEOUT";
    }
    return "?";
}

const std::vector<check>& allChecks() {
    static const std::vector<check> checks = {
        {"load-unload-cycle", "the library opens, creates, deletes and closes 100 times in one process", loadUnloadCycle},
        {"side-by-side", "components of one library share nothing and may be deleted in any order", sideBySide},
        {"create-null-host", "a component created with a null host works and sends nothing", createNullHost},
        {"create-load-texts", "empty, null, long and odd load texts are taken", createLoadTexts},
        {"line-grammar", "every line is one of the nine verbs with well-formed arguments", lineGrammar},
        {"shutdown-last", "\"AS\" is sent exactly once, last, and nothing follows it", shutdownLast},
        {"answer-lifetime", "a kind-3 answer stays readable and unchanged until the host gives it back", answerLifetime},
        {"host-text-give-back", "every \"TG\"/\"XI\" answer is given back once and never touched after", hostTextGiveBack},
        {"nested-calls", "calls made from inside hostSend are handled", nestedCalls},
        {"odd-notifications", "odd kinds, null records, huge texts and extreme numbers do no harm", oddNotifications},
        {"command-values", "every listed command takes every value of the edge corpus and the seed", commandValues},
        {"random-storm", "a seeded storm of random events does no harm", randomStorm},
    };
    return checks;
}

}  // namespace nelk_validator
