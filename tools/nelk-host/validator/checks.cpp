#include "checks.h"

#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "notifications.h"
#include "subject.h"

namespace nelk_validator {

namespace {

using nelk_test_kit::component_library;
using nelk_test_kit::control_notification;
using nelk_test_kit::slot_notification;
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

// Opens the library or says why the check cannot start.
std::unique_ptr<component_library> open(const check_settings& settings, check_outcome& failure) {
    auto library = std::make_unique<component_library>(settings.library);
    if (!library->loaded()) failure = fail(library->error());
    return library;
}

#define NELK_OPEN_OR_FAIL(library, settings)       \
    check_outcome failure{check_status::fail, ""}; \
    auto library = open(settings, failure);        \
    if (!library->loaded()) return failure

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
        target.command("return=all");
        target.call(wordFor(1), 4);
        target.destroy();
        const auto violations = violationsOf({&target});
        if (!violations.empty()) return judge(violations, "");
    }
    return pass("100 cycles of open, create, delete, close");
}

check_outcome sideBySide(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    for (const bool reverse : {false, true}) {
        std::vector<std::unique_ptr<subject>> subjects;
        for (int i = 0; i < 3; ++i) {
            subjects.push_back(std::make_unique<subject>(*library, ""));
            if (!subjects.back()->created()) return fail("the entry returned null");
        }
        for (auto& each : subjects) exercise(*each);
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
    for (const char* loadText : {"", static_cast<const char*>(nullptr), "layouts"}) {
        subject target(*library, loadText, true);
        if (!target.created()) return fail("the entry returned null for a null host");
        exercise(target);
        target.destroy();
    }
    return pass("created, driven and deleted with a null host");
}

check_outcome createLoadTexts(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    const std::string longText(65536, 'd');
    const char* texts[] = {"", nullptr, longText.c_str(), "it's %1 \"quoted\"", "trailing/"};
    std::vector<std::unique_ptr<subject>> subjects;
    for (const char* text : texts) {
        subjects.push_back(std::make_unique<subject>(*library, text));
        if (!subjects.back()->created()) return fail("the entry returned null for a load text");
        exercise(*subjects.back());
        subjects.back()->destroy();
    }
    std::vector<const subject*> all;
    for (auto& each : subjects) all.push_back(each.get());
    return judge(violationsOf(all), "empty, null, 64 KB, quoted and slash-ended load texts");
}

// Violations of one category only, for the checks that judge one rule.
std::vector<std::string> ofCategory(const std::vector<std::string>& violations, const std::string& category) {
    std::vector<std::string> selected;
    for (const std::string& each : violations) {
        if (each.compare(0, category.size() + 1, category + ":") == 0) selected.push_back(each);
    }
    return selected;
}

check_outcome lineGrammar(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(*library, "layouts");
    if (!target.created()) return fail("the entry returned null");
    exercise(target);
    target.destroy();
    auto violations = ofCategory(target.host().violations(), "grammar");
    for (const std::string& each : ofCategory(target.host().violations(), "kind")) violations.push_back(each);
    return judge(violations, std::to_string(target.host().lines().size()) + " lines, all well-formed");
}

check_outcome shutdownLast(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject idle(*library, "");
    subject busy(*library, "");
    if (!idle.created() || !busy.created()) return fail("the entry returned null");
    exercise(busy);
    idle.destroy();
    busy.destroy();
    auto violations = ofCategory(idle.host().violations(), "shutdown");
    for (const std::string& each : ofCategory(busy.host().violations(), "shutdown")) violations.push_back(each);
    return judge(violations, "\"AS\" sent once, last, by an idle and a busy component");
}

check_outcome answerLifetime(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(*library, "");
    if (!target.created()) return fail("the entry returned null");
    const char* commands[] = {"_commands", "return=all", "_events", "InfoDriverID=12", "Slot=7", "return=all",
                              "_commands", "text=x", "anything", "return=all"};
    struct kept { const char* pointer; std::string copy; std::string command; };
    std::vector<kept> answers;
    for (int round = 0; round < 8; ++round) {
        for (const char* text : commands) {
            const char* answer = target.call(const_cast<char*>(text), 3);
            if (answer != nullptr) answers.push_back({answer, answer, text});
            // Other calls come before the give-back.
            slot_notification slot(12, 7, "meanwhile");
            target.call(slot.record(), 1);
            target.call(wordFor(round), 4);
        }
    }
    std::string problem;
    for (const kept& each : answers) {
        if (problem.empty() && std::strcmp(each.pointer, each.copy.c_str()) != 0)
            problem = "the answer to \"" + each.command + "\" changed before the host gave it back";
    }
    int empty = 0;
    for (const kept& each : answers) empty += each.copy.empty() ? 1 : 0;
    for (const kept& each : answers) target.call(const_cast<char*>(each.pointer), 5);
    target.destroy();
    if (!problem.empty()) return fail(problem);
    const check_outcome outcome =
        judge(violationsOf({&target}), std::to_string(answers.size()) + " answers stayed unchanged until given back");
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
    subject target(*library, "");
    if (!target.created()) return fail("the entry returned null");
    target.host().answerWith(hostileAnswers());
    for (int round = 0; round < 3; ++round) exercise(target);
    target.destroy();
    const int handed = target.host().textsHandedOut();
    const std::string reason = handed == 0 ? "the component sent no \"TG\" or \"XI\"; nothing to give back"
                                           : std::to_string(handed) + " host texts, each given back once";
    return judge(ofCategory(target.host().violations(), "give-back"), reason);
}

check_outcome nestedCalls(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(*library, "");
    if (!target.created()) return fail("the entry returned null");
    int nested = 0;
    int kind = 0;
    target.host().nestWith([&](const std::string&) {
        nelk_client_callback* component = target.component();
        if (component == nullptr) return;
        ++nested;
        kind = kind % 7 + 1;
        slot_notification slot(12, 7, "nested slot");
        control_notification control("nested", "press=1");
        char payload[8] = "nested";
        switch (kind) {
        case 1: component->callback(slot.record(), 1); break;
        case 2: component->callback(control.record(), 2); break;
        case 3:
        case 5: {
            const char* answer = component->callback(const_cast<char*>("return=all"), 3);
            if (answer != nullptr) component->callback(const_cast<char*>(answer), 5);
            break;
        }
        case 4: component->callback(wordFor(2), 4); break;
        case 6: component->callback(payload, 6); break;
        default: component->callback(wordFor(3), 7); break;
        }
    });
    for (int round = 0; round < 3; ++round) exercise(target);
    target.destroy();
    return judge(violationsOf({&target}), std::to_string(nested) + " calls made from inside hostSend");
}

check_outcome oddNotifications(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(*library, "");
    if (!target.created()) return fail("the entry returned null");
    char zeroed[64] = {};
    for (int kind : {0, 8, 9, -1, 100, INT_MIN, INT_MAX}) {
        target.call(nullptr, kind);
        target.call(zeroed, kind);
    }
    target.call(nullptr, 1);
    target.call(nullptr, 2);
    target.call(nullptr, 5);
    target.call(nullptr, 6);
    const std::string huge(1 << 20, 'h');
    const std::string hugeCommand = "text=" + huge;
    const std::string texts[] = {"", "=", ".", "..=..", dottedParts(31), dottedParts(32), dottedParts(33),
                                 dottedParts(100), "text='quoted' it's", "text=%1 %2 %9 %99 %",
                                 "InfoDriverID=99999999999999999999", "Slot=-2147483648", "InfoDriverID=12", "Slot=7",
                                 hugeCommand, huge};
    target.command(nullptr);
    for (const std::string& text : texts) target.command(text.c_str());
    for (int value : {INT_MIN, INT_MAX, -1, 0}) {
        target.call(wordFor(value), 4);
        target.call(wordFor(value), 7);
    }
    slot_notification nullText(12, 7, std::nullopt);
    slot_notification hugeText(12, 7, huge);
    slot_notification markers(12, 7, "it's %1 %2 'quoted'");
    slot_notification extremes(INT_MIN, INT_MAX, "extremes");
    for (slot_notification* each : {&nullText, &hugeText, &markers, &extremes}) target.call(each->record(), 1);
    control_notification nullId(std::nullopt, std::string("alarm=1"));
    control_notification nullCommand(std::string("ActionAll"), std::nullopt);
    control_notification hugeId(huge, std::string("alarm=" + huge));
    control_notification dotted(std::string("ActionAll"), dottedParts(40));
    for (control_notification* each : {&nullId, &nullCommand, &hugeId, &dotted}) target.call(each->record(), 2);
    // A host record whose command carries null name and value texts.
    control_notification nullNames(std::string("ActionAll"), std::string("alarm=1"));
    parsedCommand* command = nullNames.record()->command;
    const char* name = command->name;
    const char* value = command->value;
    command->name = nullptr;
    command->value = nullptr;
    target.call(nullNames.record(), 2);
    command->name = name;
    command->value = value;
    target.destroy();
    return judge(violationsOf({&target}), "odd kinds, null records and texts, 1 MB texts, 33 parts, extreme numbers");
}

// Random texts with the bytes that matter to this protocol: separators, quotes, markers.
std::string randomText(std::mt19937_64& random) {
    static const char alphabet[] = "abcXYZ0123456789.=.=,'%% -_\n";
    const std::size_t length = random() % 4 == 0 ? random() % 200 : random() % 16;
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += random() % 16 == 0 ? static_cast<char>(1 + random() % 255) : alphabet[random() % (sizeof alphabet - 1)];
    }
    return text;
}

int randomNumber(std::mt19937_64& random) {
    switch (random() % 4) {
    case 0: return static_cast<int>(random() % 20);
    case 1: return static_cast<int>(random() % 5000);
    case 2: return static_cast<int>(static_cast<std::uint32_t>(random()));
    default: return random() % 2 == 0 ? INT_MIN : INT_MAX;
    }
}

check_outcome randomStorm(const check_settings& settings) {
    NELK_OPEN_OR_FAIL(library, settings);
    subject target(*library, "");
    if (!target.created()) return fail("the entry returned null");
    target.host().answerWith({{true, ""}, {false, "value=1"}, {false, "alm_1,alm_2"}, {false, ""}, {false, "x"}});
    std::mt19937_64 random(settings.seed);
    const char* names[] = {"text", "InfoDriverID", "Slot", "return", "_events", "_commands", "alarm", ""};
    const char* controls[] = {"ActionAll", "AckAll", "alm_1", "button"};
    for (int i = 0; i < settings.iterations; ++i) {
        switch (random() % 8) {
        case 0: {
            slot_notification slot(randomNumber(random), randomNumber(random),
                                   random() % 10 == 0 ? std::nullopt : std::optional<std::string>(randomText(random)));
            target.call(slot.record(), 1);
            break;
        }
        case 1: {
            control_notification control(std::string(controls[random() % 4]),
                                         std::string(names[random() % 8]) + "=" + randomText(random));
            target.call(control.record(), 2);
            break;
        }
        case 2:
        case 3: {
            const std::string text = std::string(names[random() % 8]) + (random() % 2 ? "=" : ".") + randomText(random);
            target.command(random() % 50 == 0 ? nullptr : text.c_str());
            break;
        }
        case 4: target.call(wordFor(randomNumber(random)), 4); break;
        case 5: target.call(wordFor(randomNumber(random)), 7); break;
        case 6: {
            std::string payload = randomText(random);
            target.call(&payload[0], 6);
            break;
        }
        default: {
            // Only kinds outside 1 to 7: a random kind 5 would give back a pointer never answered.
            int kind = static_cast<int>(random() % 12) - 2;
            if (kind >= 1 && kind <= 7) kind += 7;
            target.call(wordFor(randomNumber(random)), kind);
            break;
        }
        }
    }
    target.destroy();
    return judge(violationsOf({&target}), std::to_string(settings.iterations) + " random events");
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
        {"random-storm", "a seeded storm of random events does no harm", randomStorm},
    };
    return checks;
}

}  // namespace nelk_validator
