// The protocol's vocabulary, shared by every host and every component: what the `kind` of
// callback(data, kind) and of hostSend(text, kind) says, the nine verbs of a command line, and
// the number ranges of the host's info drivers. Constants only: no state, nothing to link, usable
// from any thread.
#pragma once

// What callback(data, kind) carries. A component ignores every other kind and returns null.
namespace nelk_kind {
constexpr int slotValue = 1;       // data: slotNotify*, the host's, valid during the call
constexpr int controlEvent = 2;    // data: buttonNotify*, the host's, valid during the call
constexpr int commandText = 3;     // data: zero-terminated text; returns null or a text the component owns
constexpr int timerFired = 4;      // data: the word itself is the timer id
constexpr int giveBackAnswer = 5;  // data: a kind-3 answer, handed back exactly once
constexpr int dataPointer = 6;     // data: an untyped pointer, the host's
constexpr int numberValue = 7;     // data: the word itself is a 32-bit value
constexpr int first = slotValue;
constexpr int last = numberValue;
}  // namespace nelk_kind

// What hostSend(text, kind) carries; there is no other kind.
namespace nelk_send {
constexpr int commandLine = 0;  // text: one command line, valid during the call
constexpr int giveBack = 5;     // text: a "TG" or "XI" answer of the host, handed back exactly once
}  // namespace nelk_send

// The verbs of a command line, named by their two letters, in their order. NELK_VERBS(X) expands
// X(PS) X(TP) ... X(AS): the one list that the enumeration, the names and every table of verbs
// come from.
#define NELK_VERBS(X) X(PS) X(TP) X(IR) X(IU) X(IW) X(ET) X(TG) X(XI) X(AS)

#define NELK_VERB_ENUMERATOR(verb) verb,
enum class nelk_verb : unsigned char { NELK_VERBS(NELK_VERB_ENUMERATOR) };
#undef NELK_VERB_ENUMERATOR

#define NELK_VERB_ONE(verb) +1
constexpr int nelk_verbCount = 0 NELK_VERBS(NELK_VERB_ONE);
#undef NELK_VERB_ONE

#define NELK_VERB_VALUE(verb) nelk_verb::verb,
constexpr nelk_verb nelk_verbs[nelk_verbCount] = {NELK_VERBS(NELK_VERB_VALUE)};
#undef NELK_VERB_VALUE

// The two letters of a verb, a static zero-terminated text.
constexpr const char* nelk_verbName(nelk_verb verb) noexcept {
#define NELK_VERB_TEXT(verb) #verb,
    constexpr const char* names[nelk_verbCount] = {NELK_VERBS(NELK_VERB_TEXT)};
#undef NELK_VERB_TEXT
    return names[static_cast<int>(verb)];
}

// The verb that the first two bytes of `text` name; false when they name none (or text is null
// or shorter). Reads at most two bytes.
inline bool nelk_verbOf(const char* text, nelk_verb& verb) noexcept {
    if (text == nullptr || text[0] == '\0') return false;
    for (const nelk_verb each : nelk_verbs) {
        const char* name = nelk_verbName(each);
        if (text[0] == name[0] && text[1] == name[1]) {
            verb = each;
            return true;
        }
    }
    return false;
}

// Whether the host answers the verb with a text the component must give back with kind 5.
constexpr bool nelk_answersWithText(nelk_verb verb) noexcept { return verb == nelk_verb::TG || verb == nelk_verb::XI; }

// The host's info drivers and their slots; components that take a driver or a slot accept these.
namespace nelk_range {
constexpr int firstDriver = 1;
constexpr int lastDriver = 999;
constexpr int firstSlot = 1;
constexpr int lastSlot = 4096;
}  // namespace nelk_range
