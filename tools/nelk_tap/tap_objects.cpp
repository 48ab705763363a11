#include "tap_objects.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host_records.h"
#include "nelk_protocol.h"
#include "scenario_words.h"

namespace nelk_tap {

using nelk_test_kit::statementWord;

namespace {

std::string wordOrNull(const char* text) { return text != nullptr ? statementWord(text) : "null"; }

int wordValue(void* data) {
    return static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(data)));
}

}  // namespace

std::string statementFor(const std::string& instance, void* data, int kind, trace_writer& trace) {
    switch (kind) {
    case nelk_kind::slotValue: {
        if (data == nullptr) return "raw " + instance + " 1 null";
        const slotNotify* record = static_cast<const slotNotify*>(data);
        return "notify " + instance + " " + std::to_string(record->device) + " " + std::to_string(record->index) + " " +
               wordOrNull(record->slotText);
    }
    case nelk_kind::controlEvent: {
        if (data == nullptr) return "raw " + instance + " 2 null";
        const buttonNotify* record = static_cast<const buttonNotify*>(data);
        std::string statement = "control " + instance + " " + wordOrNull(record->controlId);
        if (record->command != nullptr) {
            const parsedCommand& command = *record->command;
            const std::string name = command.name != nullptr ? command.name : "";
            const std::string value = command.value != nullptr ? command.value : "";
            statement += " " + statementWord(command.hasValue ? name + "=" + value : name);
        }
        return statement;
    }
    case nelk_kind::commandText: return "command " + instance + " " + wordOrNull(static_cast<const char*>(data));
    case nelk_kind::timerFired: return "timer " + instance + " " + std::to_string(wordValue(data));
    case nelk_kind::numberValue: return "number " + instance + " " + std::to_string(wordValue(data));
    case nelk_kind::dataPointer: {
        char pointer[32];
        std::snprintf(pointer, sizeof pointer, "%p", data);
        trace.note("kind 6 carries a pointer the tap cannot follow (" + std::string(pointer) + "); the replay sends null");
        return "data " + instance + " null";
    }
    default: {
        const std::intptr_t word = reinterpret_cast<std::intptr_t>(data);
        const bool number = word >= INT32_MIN && word <= INT32_MAX;
        return "raw " + instance + " " + std::to_string(kind) + " " + (number ? std::to_string(word) : std::string("null"));
    }
    }
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
        const std::string word = verb == nelk_verb::PS ? std::to_string(reinterpret_cast<std::intptr_t>(answer))
                                                       : wordOrNull(static_cast<const char*>(answer));
        trace_.answered(instance_, line, word);
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
    trace_.end(kind == nelk_kind::commandText ? " -> " + wordOrNull(answer) : std::string());
    return answer;
}

}  // namespace nelk_tap
