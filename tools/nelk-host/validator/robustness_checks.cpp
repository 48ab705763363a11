#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "check_support.h"
#include "notifications.h"
#include "sanitizer_build.h"
#include "subject.h"

#if defined(NELK_SANITIZED) && __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#elif defined(NELK_SANITIZED)
// g++ ships no allocator_interface.h; its AddressSanitizer runtime has the function all the same.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

namespace nelk_validator {

using nelk_test_kit::wordFor;

namespace {

// Bytes of the heap in use in this process, or -1 where they cannot be told.
long long liveHeapBytes() {
#if defined(NELK_SANITIZED)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<long long>(heap.uordblks + heap.hblkhd);
#else
    return -1;
#endif
}


check_outcome heapFlat(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        target.host().keepLines(false);  // the host's own records must not grow either
        target.host().rules().keepGivenBack(0);
        // Warm-up: whatever the component keeps for good (its settings, a cache of its slots) is
        // made now; and the host's bounded records (the pages of its last calls) fill up.
        for (int round = 0; round < 12 || target.calls() < 2000; ++round) exercise(target, profile);
        const long long start = liveHeapBytes();
        if (start < 0) return skip("the live heap cannot be measured in this build");
        if (std::getenv("NELK_UNDER_MEMCHECK") != nullptr)
            return skip("under memcheck, valgrind keeps the heap; run without --memcheck for this check");
        // Windows of equal work: growth that stops (a bounded history, a cache that fills) is no
        // leak; growth that goes on to the last windows is, however slow.
        const int windows = 8;
        const int roundsEach = 15;
        std::vector<long long> growth;
        long long before = start;
        const long long callsBefore = target.calls();
        for (int window = 0; window < windows; ++window) {
            for (int round = 0; round < roundsEach; ++round) exercise(target, profile);
            const long long now = liveHeapBytes();
            growth.push_back(now - before);
            before = now;
        }
        const long long total = before - start;
        const long long events = target.calls() - callsBefore;
        const auto violations = target.violations();
        target.destroy();
        if (!violations.empty()) return judge(violations, "");
        long long lastWindows = 0;
        bool stillGrowing = true;
        for (int window = windows - 3; window < windows; ++window) {
            stillGrowing = stillGrowing && growth[static_cast<std::size_t>(window)] > 0;
            lastWindows += growth[static_cast<std::size_t>(window)];
        }
        const long long lastEvents = events * 3 / windows;
        char figure[64];
        std::snprintf(figure, sizeof figure, "%.2f bytes per event", lastEvents > 0 ? static_cast<double>(lastWindows) / lastEvents : 0.0);
        // A few hundred bytes once are the allocator's own bookkeeping, not the component's.
        if (stillGrowing && total > 256) {
            return fail("the live heap grew by " + std::to_string(total) + " bytes over " + std::to_string(events) +
                        " events after a warm-up and was still growing in the last windows (" + figure +
                        "): the component keeps memory it no longer needs");
        }
        if (total > 1024 * 1024)
            return fail("the live heap grew by " + std::to_string(total) + " bytes over " + std::to_string(events) +
                        " events after a warm-up: far more than any bounded history needs");
        return pass("the live heap levelled off (" + std::to_string(total) + " bytes over " + std::to_string(events) +
                    " events after a warm-up, " + std::to_string(lastWindows) + " in the last three windows)");
    });
}

check_outcome oddNotifications(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
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
    });
}

// Every command the component lists, with every value of the edge corpus and seeded random
// values: a command that crashes, hangs or breaks a rule on one value fails here, whatever the seed.
check_outcome commandValues(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
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
            return warn("the component lists no commands in its \"_commands\" answer (one name=[value] a line), so no command "
                    "was driven; every check ran with the queries and the fixed events only");
        }
        return judge(target.violations(), std::to_string(profile.commands.size()) + " commands, " + std::to_string(sent) +
                                              " values from the edge corpus and the seed");
    });
}

check_outcome randomStorm(const check_settings& settings) {
    return onComponent(settings, [&](subject& target, const component_profile& profile) {
        std::mt19937_64 random(settings.seed);
        std::vector<std::string> names = profile.commands;
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
    }, check_start{"", {{true, ""}, {false, "value=1"}, {false, "alm_1,alm_2"}, {false, ""}, {false, "x"}}});
}

}  // namespace

const std::vector<check>& robustnessChecks() {
    static const std::vector<check> checks = {
        {"odd-notifications", "odd kinds, null records, huge texts and extreme numbers do no harm", oddNotifications},
        {"command-values", "every listed command takes every value of the edge corpus and the seed", commandValues},
        {"heap-flat", "the live heap stays flat over many events after a warm-up: nothing leaks", heapFlat},
        {"random-storm", "a seeded storm of random events does no harm", randomStorm},
    };
    return checks;
}

}  // namespace nelk_validator
