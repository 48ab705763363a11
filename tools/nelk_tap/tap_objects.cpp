#include "tap_objects.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host_records.h"
#include "nelk_protocol.h"
#include "scenario_words.h"

namespace nelk_tap {

using nelk_test_kit::answerWord;

std::string statementFor(const std::string& instance, void* data, int kind, trace_writer& trace) {
    if (kind == nelk_kind::dataPointer) {
        char pointer[32];
        std::snprintf(pointer, sizeof pointer, "%p", data);
        trace.note("kind 6 carries a pointer the tap cannot follow (" + std::string(pointer) + "); the replay sends null");
    }
    return nelk_test_kit::callStatement(instance, data, kind, false);
}

void* tap_host::hostSend(const char* text, int kind) {
    if (kind != nelk_send::commandLine || text == nullptr) {
        trace_.note(instance_ + (kind == nelk_send::giveBack ? " gives back a text the host answered with"
                                                             : " calls hostSend with kind " + std::to_string(kind)));
        return real_ != nullptr ? real_->hostSend(text, kind) : nullptr;
    }
    const std::string line(text);  // valid during the call only
    trace_.sent(instance_, line);
    void* answer = real_ != nullptr ? real_->hostSend(text, kind) : nullptr;
    nelk_verb verb{};
    if (nelk_verbOf(line.c_str(), verb) && (verb == nelk_verb::PS || nelk_answersWithText(verb))) {
        if (verb == nelk_verb::PS)
            trace_.answeredPanel(instance_, line, reinterpret_cast<std::intptr_t>(answer));
        else
            trace_.answeredText(instance_, line, static_cast<const char*>(answer));
    }
    return answer;
}

tap_component::~tap_component() {
    trace_.begin(instance_, "delete " + instance_);
    nelk_test_kit::deleteComponent(real_);
    trace_.end();
}

const char* tap_component::callback(void* data, int kind) {
    if (kind == nelk_kind::giveBackAnswer) {
        // The host gives back a kind-3 answer: part of its command, which a replay gives back too.
        trace_.note("the host gives " + instance_ + "'s answer back");
        return real_->callback(data, kind);
    }
    trace_.begin(instance_, statementFor(instance_, data, kind, trace_));
    const char* answer = real_->callback(data, kind);
    trace_.end(kind == nelk_kind::commandText ? " -> " + answerWord(answer) : std::string());
    return answer;
}

}  // namespace nelk_tap
