#include "validating_host.h"

#include <algorithm>
#include <cstdint>

#include "guarded_storage.h"
#include "host/component_calls.h"
#include "host/protocol_coverage.h"

namespace nelk_validator {

namespace {
// Enough to drive a component's slots and controls; more add nothing but time.
const std::size_t rememberedAtMost = 16;
}  // namespace

validating_host::validating_host() : rules_(std::make_unique<guarded_storage>(), true) {}

void* validating_host::hostSend(const char* text, int kind) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (kind == nelk_send::commandLine && text != nullptr) {
        ++linesSent_;
        if (keepLines_) lines_.emplace_back(text);
    }
    const std::optional<nelk_test_kit::command_line> line = nelk_host_tool::receiveLine(rules_, text, kind);
    if (!line) return nullptr;
    const std::string sent(text);
    remember(*line);
    void* answer = nullptr;
    if (line->verb == nelk_verb::PS) answer = reinterpret_cast<void*>(std::intptr_t{1});
    if (nelk_answersWithText(line->verb)) answer = answerText(sent);
    if (nested_ && !nesting_ && !rules_.deleting()) {
        nesting_ = true;
        nested_(sent);
        nesting_ = false;
    }
    return answer;
}

void validating_host::remember(const nelk_test_kit::command_line& line) {
    if (line.verb == nelk_verb::IR && registrations_.size() < rememberedAtMost)
        registrations_.push_back(registration{line.numbers[0], line.numbers[1], line.numbers[2]});
    if (line.verb == nelk_verb::TP && controls_.size() < rememberedAtMost &&
        std::find(controls_.begin(), controls_.end(), line.texts[2]) == controls_.end())
        controls_.push_back(line.texts[2]);
}

void* validating_host::answerText(const std::string& line) {
    using nelk_host_tool::coverage_item;
    const bool listing = line.compare(0, 2, "XI") == 0;
    const answer_text* next = answers_.empty() ? nullptr : &answers_[nextAnswer_++ % answers_.size()];
    if (next == nullptr || next->isNull) {
        if (!listing) nelk_host_tool::cover(coverage_item::answerTGNull);
        return nullptr;
    }
    nelk_host_tool::cover(listing ? coverage_item::answerXI : coverage_item::answerTG);
    return rules_.handOut(line, next->text);
}

}  // namespace nelk_validator
