#include "validating_host.h"

#include <algorithm>
#include <cstdint>

#include "call_record.h"
#include "guarded_storage.h"
#include "host/component_calls.h"
#include "host/info_drivers.h"
#include "host/protocol_coverage.h"

namespace nelk_validator {

namespace {
// Enough to drive a component's slots and controls; more add nothing but time.
const std::size_t rememberedAtMost = 16;
// More live registrations than any panel needs: a component past it registers anew at events.
const std::size_t registrationsAtMost = 1024;
// More slot events than one event of a host ever causes: past it, writes feed back.
const std::size_t owedAtMost = 1000;

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A line feed (or carriage return) followed by what reads as a line of its own.
bool joinsLines(const std::string& text) {
    for (std::size_t at = text.find_first_of("\r\n"); at != std::string::npos; at = text.find_first_of("\r\n", at + 1)) {
        const std::size_t next = text.find_first_not_of("\r\n", at);
        if (next == std::string::npos) continue;
        nelk_verb verb{};
        if (text.size() >= next + 3 && text[next + 2] == ' ' && nelk_verbOf(text.substr(next, 2).c_str(), verb)) return true;
        if (text.compare(next, std::string::npos, "AS") == 0) return true;
    }
    return false;
}
}  // namespace

void validating_host::meaning(const std::string& problem) {
    if (meaningSeen_.insert(problem).second) meaning_.push_back(problem);
}

void validating_host::judgeMeaning(const nelk_test_kit::command_line& line, const std::string& text) {
    if (joinsLines(text))
        meaning("two lines joined by a line feed in one hostSend: a host reads the second as a line of its own (line: " +
                nelk_test_kit::escaped(text) + ")");
    const bool panelFirst = line.verb == nelk_verb::PS || line.verb == nelk_verb::TG || line.verb == nelk_verb::XI;
    if ((panelFirst && !isNumber(line.texts.at(0))) || (line.verb == nelk_verb::TP && !isNumber(line.texts.at(1))))
        meaning("a panel that is not a number: a host shows panels by number (line: " + nelk_test_kit::escaped(text) + ")");
    // Each layout once: a component that shows its panel again (to restart its timers) shows no new one.
    if (line.verb == nelk_verb::PS && std::find(layouts_.begin(), layouts_.end(), text) == layouts_.end()) layouts_.push_back(text);
    if (line.verb == nelk_verb::IR) {
        bool driverExists = false;
        live_.registerRange(line.numbers[0], line.numbers[1], line.numbers[2], line.add, driverExists);
        if (live_.count() > registrationsAtMost)
            meaning("more than " + std::to_string(registrationsAtMost) +
                    " registrations live at once: the component registers anew at events and never ends them");
    }
    if (line.verb == nelk_verb::IU) live_.unregister(line.numbers[0]);
    if (line.verb == nelk_verb::IW && !query_.empty() && rules_.depth() == 1)
        meaning("the query \"" + nelk_test_kit::escaped(query_.substr(0, 40)) +
                "\" wrote a slot with \"IW\": a host asks for the settings to save them, and a query changes nothing");
    if (line.verb == nelk_verb::ET && fired_.count(line.numbers[0]) == 0)
        meaning("\"ET " + std::to_string(line.numbers[0]) + "\" stops a timer the host never fired to this component");
    if (line.verb == nelk_verb::AS && live_.count() > 0) {
        const auto first = *live_.first();
        meaning("registrations were not ended with \"IU\" before \"AS\" (driver " + std::to_string(std::get<0>(first)) +
                ", slots " + std::to_string(std::get<1>(first)) + " to " + std::to_string(std::get<2>(first)) +
                "): the host keeps reporting to a component that is gone");
    }
}

void validating_host::actOut(const nelk_test_kit::command_line& line) {
    auto owe = [&](int driver, int slot, const std::string& text) {
        if (owed_.size() < owedAtMost) {
            owed_.push_back(owed_report{driver, slot, text});
        } else {
            feedbackLoop();
        }
    };
    if (line.verb == nelk_verb::IR) {
        // The current text of every registered slot that has one, as a host reports it.
        const int driver = line.numbers[0];
        for (const auto& stored : slots_.range(driver, line.numbers[1], line.numbers[2])) owe(driver, stored.first, stored.second);
    }
    if (line.verb == nelk_verb::IW) {
        const int driver = line.numbers[0];
        const int slot = line.numbers[1];
        if (!nelk_host_tool::slotExists(driver, slot)) return;
        slots_.store(driver, slot, line.texts[0]);
        if (live_.covers(driver, slot)) owe(driver, slot, line.texts[0]);
    }
}

void validating_host::feedbackLoop() {
    if (feedbackNoted_) return;
    feedbackNoted_ = true;
    meaning("more than " + std::to_string(owedAtMost) +
            " slot events for one event: the component's writes feed back on its own registrations without end");
}

std::size_t validating_host::owedAtMostForOneEvent() { return owedAtMost; }

std::vector<owed_report> validating_host::takeOwedReports() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    std::vector<owed_report> taken;
    taken.swap(owed_);
    return taken;
}

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
    judgeMeaning(*line, sent);
    if (behaviour_.reportsSlots) actOut(*line);
    void* answer = nullptr;
    if (line->verb == nelk_verb::PS) answer = reinterpret_cast<void*>(static_cast<std::intptr_t>(behaviour_.psAnswer));
    if (nelk_answersWithText(line->verb)) answer = answerText(sent);
    if (!recordName_.empty() && call_record::on() && (line->verb == nelk_verb::PS || nelk_answersWithText(line->verb))) {
        const std::string word = line->verb == nelk_verb::PS ? std::to_string(behaviour_.psAnswer)
                                                             : nelk_test_kit::answerWord(static_cast<const char*>(answer));
        call_record::answer(nelk_test_kit::answerStatement(recordName_, sent, word));
    }
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
