#include "checks.h"

#include "check_support.h"

namespace nelk_validator {

check_outcome runHere(const check& each, const check_settings& settings) {
    try {
        return each.run(settings);
    } catch (const std::exception& error) {
        return {check_status::crashed, std::string("an exception escaped: ") + error.what()};
    } catch (...) {
        return {check_status::crashed, "an exception escaped"};
    }
}

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
        {"library-load", "opening and closing the library runs no code of its own: no crash, exit, thread or output", libraryLoad},
        {"exports", "the library exports load_nelk_client_script and nothing else", exportsOnlyTheEntry},
        {"load-unload-cycle", "the library opens, creates, deletes and closes 100 times in one process", loadUnloadCycle},
        {"side-by-side", "components of one library share nothing and may be deleted in any order", sideBySide},
        {"create-null-host", "a component created with a null host works and sends nothing", createNullHost},
        {"create-load-texts", "empty, null, long and odd load texts are taken", createLoadTexts},
        {"line-grammar", "every line is one of the nine verbs with well-formed arguments", lineGrammar},
        {"shutdown-last", "\"AS\" is sent exactly once, last, and nothing follows it", shutdownLast},
        {"answer-lifetime", "a kind-3 answer stays readable and unchanged until the host gives it back", answerLifetime},
        {"host-text-give-back", "every \"TG\"/\"XI\" answer is given back once and never touched after", hostTextGiveBack},
        {"call-discipline", "every line comes on the component's own host object, inside a call, from the calling thread", callDiscipline},
        {"nested-calls", "calls made from inside hostSend are handled", nestedCalls},
        {"reentrant-changes", "state changed by a nested call while an outer call still walks it does no harm", reentrantChanges},
        {"odd-notifications", "odd kinds, null records, huge texts and extreme numbers do no harm", oddNotifications},
        {"command-values", "every listed command takes every value of the edge corpus and the seed", commandValues},
        {"heap-flat", "the live heap stays flat over many events after a warm-up: nothing leaks", heapFlat},
        {"random-storm", "a seeded storm of random events does no harm", randomStorm},
    };
    return checks;
}

}  // namespace nelk_validator
