#include "subject.h"

#include <cstring>

#include "answer_origin.h"
#include "host_records.h"
#include "host/component_calls.h"
#include "host/protocol_coverage.h"
#include "notifications.h"

namespace nelk_validator {

using nelk_host_tool::cover;
using nelk_host_tool::coverage_item;
using nelk_host_tool::kindItem;

namespace {

std::size_t sizeOf(const std::optional<std::string>& text) { return text ? text->size() + 1 : 0; }

}  // namespace

std::string shortText(const std::optional<std::string>& text, std::size_t keep) {
    if (!text) return "null";
    if (text->size() <= keep) return "\"" + nelk_test_kit::escaped(*text) + "\"";
    return "\"" + nelk_test_kit::escaped(text->substr(0, keep)) + "...\" (" + std::to_string(text->size()) + " bytes)";
}

subject::subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost)
    : nullHost_(nullHost) {
    component_ = nelk_host_tool::createComponent(
        library, nullHost ? nullptr : &host_, loadText, host_.rules(),
        "creation with load text " + shortText(loadText ? std::optional<std::string>(loadText) : std::nullopt));
}

subject::~subject() { destroy(); }

const char* subject::deliver(void* data, int kind, const std::string& what) {
    if (component_ == nullptr) return nullptr;
    ++calls_;
    return nelk_host_tool::callComponent(*component_, host_.rules(), data, kind, "kind " + std::to_string(kind) + " " + what,
                                         &host_.lock());
}

const char* subject::call(void* data, int kind, const std::string& what) { return deliver(data, kind, what); }

std::unique_ptr<call_arena> subject::arena(std::size_t bytes, const char* label) {
    return std::make_unique<call_arena>(bytes + 64, label);
}

void subject::finished(std::unique_ptr<call_arena> used) {
    used->revoke();
    history_.keep(std::move(used));
}

void subject::slot(int driver, int index, const std::optional<std::string>& text) {
    if (!text) cover(coverage_item::nullText);
    auto pages = arena(sizeof(slotNotify) + sizeOf(text), "the host's slot record and text");
    auto* record = new (pages->room(sizeof(slotNotify))) slotNotify{};
    record->device = driver;
    record->index = index;
    record->slotText = text ? pages->text(text->c_str(), text->size()) : nullptr;
    pages->seal();
    deliver(record, nelk_kind::slotValue, "slot " + std::to_string(driver) + " " + std::to_string(index) + " " + shortText(text));
    finished(std::move(pages));
}

void subject::control(const std::optional<std::string>& id, const std::optional<std::string>& command, bool nullNames) {
    if (!id || !command || nullNames) cover(coverage_item::nullText);
    auto pages = arena(sizeof(buttonNotify) + sizeof(parsedCommand) + sizeOf(id) + sizeOf(command) + 8,
                       "the host's control record, its parsed command and texts");
    auto* record = new (pages->room(sizeof(buttonNotify))) buttonNotify{};
    record->controlId = id ? pages->text(id->c_str(), id->size()) : nullptr;
    if (command) {
        // The host's parsed command, laid out in the pages with every pointer moved along.
        const parsedCommand parsed(command->c_str());
        auto* copy = static_cast<parsedCommand*>(pages->room(sizeof(parsedCommand)));
        std::memcpy(static_cast<void*>(copy), static_cast<const void*>(&parsed), sizeof(parsedCommand));
        const std::size_t length = parsed.buffer != nullptr ? std::strlen(command->c_str()) : 0;
        // The buffer holds the parts split in place: its bytes are copied whole, zero bytes included.
        const char* buffer = parsed.buffer != nullptr ? pages->text(parsed.buffer, length) : nullptr;
        const char* empty = pages->text("", 0);
        auto moved = [&](const char* pointer) -> const char* {
            if (buffer != nullptr && pointer >= parsed.buffer && pointer <= parsed.buffer + length)
                return buffer + (pointer - parsed.buffer);
            return empty;
        };
        copy->name = nullNames ? nullptr : moved(parsed.name);
        copy->value = nullNames ? nullptr : moved(parsed.value);
        for (int i = 0; i < 32; ++i) copy->parts[i] = moved(parsed.parts[i]);
        copy->buffer = const_cast<char*>(buffer);
        record->command = copy;
    }
    pages->seal();
    deliver(record, nelk_kind::controlEvent, "control " + shortText(id) + " " + shortText(command));
    finished(std::move(pages));
}

void subject::timer(int id) {
    deliver(nelk_test_kit::wordFor(id), nelk_kind::timerFired, "timer " + std::to_string(id));
}

void subject::number(int value) {
    deliver(nelk_test_kit::wordFor(value), nelk_kind::numberValue, "number " + std::to_string(value));
}

void subject::data(const std::string& payload) {
    auto pages = arena(payload.size() + 1, "the host's data of kind 6");
    const char* copy = pages->text(payload.c_str(), payload.size());
    pages->seal();
    deliver(const_cast<char*>(copy), nelk_kind::dataPointer, "data " + shortText(payload));
    finished(std::move(pages));
}

const char* subject::ask(const char* text) {
    const std::optional<std::string> command = text ? std::optional<std::string>(text) : std::nullopt;
    auto pages = arena(sizeOf(command), "the command text the host passed in");
    const char* copy = command ? pages->text(text, command->size()) : nullptr;
    pages->seal();
    if (!command) cover(coverage_item::nullCommand);
    const long long linesBefore = host_.linesSent();
    const char* answer = deliver(const_cast<char*>(copy), nelk_kind::commandText, "command " + shortText(command));
    const std::string origin = answer != nullptr ? foreignOrigin(answer) : std::string();
    finished(std::move(pages));
    cover(answer != nullptr ? coverage_item::answerText : coverage_item::answerNull);
    if (answer == nullptr && host_.linesSent() == linesBefore) cover(coverage_item::ignoredCommand);
    if (answer == nullptr) return nullptr;
    const std::string shown = shortText(command);
    if (!origin.empty()) {
        host_.rules().report(nelk_test_kit::breach_kind::foreign_answer,
                             "the kind-3 answer to " + shown + " " + origin + "; it is not given back");
        return nullptr;
    }
    const bool alreadyOut = answers_.count(answer) != 0;
    host_.rules().answerReturned(answer, command.value_or(""));
    if (alreadyOut) return nullptr;  // the first one is given back; this one is the same block
    answers_[answer] = command.value_or("");
    return answer;
}

void subject::giveBack(const char* answer) {
    auto out = answers_.find(answer);
    if (out == answers_.end()) return;
    const std::string command = out->second;
    answers_.erase(out);
    host_.rules().answerGivenBack(answer);
    cover(coverage_item::answerGivenBack);
    deliver(const_cast<char*>(answer), nelk_kind::giveBackAnswer, "give back the answer to " + shortText(command));
}

std::optional<std::string> subject::command(const char* text) {
    const char* answer = ask(text);
    if (answer == nullptr) return std::nullopt;
    std::string copy(answer);
    giveBack(answer);
    return copy;
}

void subject::destroy() {
    if (component_ == nullptr) return;
    for (const auto& out : std::map<const char*, std::string>(answers_)) giveBack(out.first);
    host_.stopNesting();
    nelk_host_tool::deleteAsAHost(component_, host_.rules(), "deletion through the virtual destructor", !nullHost_);
    component_ = nullptr;
}

std::vector<std::string> subject::violations() const {
    std::vector<std::string> all;
    for (const nelk_test_kit::breach& each : host_.rules().breaches())
        all.push_back(std::string(nelk_test_kit::breachCategory(each.kind)) + ": " + nelk_test_kit::describe(each));
    return all;
}

std::vector<std::string> violationsOf(const std::vector<const subject*>& subjects) {
    std::vector<std::string> all;
    for (const subject* each : subjects) {
        for (const std::string& violation : each->violations()) all.push_back(violation);
    }
    return all;
}

}  // namespace nelk_validator
