#include "subject.h"

#include <cstdint>
#include <cstring>

#include "answer_origin.h"
#include "call_record.h"
#include "checks.h"
#include "host/call_timing.h"
#include "process_watch.h"
#include "scenario_words.h"
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

subject::subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost,
                 const host_behaviour& behaviour)
    : nullHost_(nullHost) {
    host_.behave(behaviour);
    if (call_record::on()) {
        name_ = call_record::newName();
        host_.recordAs(name_);
        if (nullHost) call_record::note(name_ + " is made with a null host; a replay gives it one");
        call_record::begin(nelk_test_kit::loadStatement(name_, loadText));
    }
    const std::optional<std::string> text = loadText ? std::optional<std::string>(loadText) : std::nullopt;
    // The load text is the host's, read during the entry only.
    auto pages = arena(sizeOf(text), "the load text the host passed to the entry");
    const char* copy = text ? pages->text(loadText, text->size()) : nullptr;
    pages->seal();
    component_ = nelk_host_tool::createComponent(library, nullHost ? nullptr : &host_, copy, host_.rules(),
                                                 "creation with load text " + shortText(text));
    loadStatement_ = nelk_test_kit::loadStatement("C", text ? text->c_str() : nullptr);
    if (nelk_host_tool::lastCallNeedsName()) nelk_host_tool::nameLastCall(loadStatement_);
    finished(std::move(pages));
    callReturned();
    if (!name_.empty()) call_record::end();
}

subject::~subject() { destroy(); }

const char* subject::deliver(void* data, int kind, const std::string& what, bool dataIsText) {
    if (component_ == nullptr) return nullptr;
    ++calls_;
    if (kind == nelk_kind::timerFired) host_.timerFired(static_cast<int>(reinterpret_cast<std::intptr_t>(data)));
    if (!name_.empty() && kind != nelk_kind::giveBackAnswer) call_record::begin(nelk_test_kit::callStatement(name_, data, kind, dataIsText));
    ++depth_;
    const char* answer = nelk_host_tool::callComponent(*component_, host_.rules(), data, kind,
                                                       "kind " + std::to_string(kind) + " " + what, &host_.lock());
    --depth_;
    // A call among the slowest is named by the statements that make it (its data is still there).
    if (depth_ == 0 && nelk_host_tool::lastCallNeedsName())
        nelk_host_tool::nameLastCall(loadStatement_ + "\n" + nelk_test_kit::callStatement("C", data, kind, dataIsText));
    callReturned();
    if (!name_.empty() && kind != nelk_kind::giveBackAnswer) {
        call_record::end();
        if (!breachRecorded_ && !host_.rules().breaches().empty()) {
            breachRecorded_ = true;
            call_record::breach();
        }
    }
    if (depth_ == 0) deliverOwedReports();
    if (depth_ == 0 && nelk_host_tool::callsOverBudget() >= slowCallsBeforeStop) throw check_stopped{};
    return answer;
}

void subject::deliverOwedReports() {
    if (draining_) return;  // the loop below delivers what the deliveries owe in turn
    draining_ = true;
    std::size_t delivered = 0;
    for (std::vector<owed_report> owed = host_.takeOwedReports(); !owed.empty() && component_ != nullptr;
         owed = host_.takeOwedReports()) {
        for (const owed_report& each : owed) {
            if (++delivered > validating_host::owedAtMostForOneEvent()) {
                host_.feedbackLoop();
                host_.takeOwedReports();
                draining_ = false;
                return;
            }
            slot(each.driver, each.slot, each.text);
        }
    }
    draining_ = false;
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
    // What a host keeps in its own fields is no business of the component's: never zero here.
    record->hostReserved1 = static_cast<int>(0xa5a5a5a5u);
    record->hostReserved2 = static_cast<int>(0x5a5a5a5au);
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
    std::memset(record->hostReserved, 0xa5, sizeof record->hostReserved);
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
    deliver(const_cast<char*>(copy), nelk_kind::dataPointer, "data " + shortText(payload), true);
    finished(std::move(pages));
}

const char* subject::ask(const char* text) {
    const std::optional<std::string> command = text ? std::optional<std::string>(text) : std::nullopt;
    auto pages = arena(sizeOf(command), "the command text the host passed in");
    const char* copy = command ? pages->text(text, command->size()) : nullptr;
    pages->seal();
    if (!command) cover(coverage_item::nullCommand);
    const long long linesBefore = host_.linesSent();
    // A query asks for the settings (a host saves them): it changes nothing, in the host least of all.
    const bool query = command && command->rfind("return", 0) == 0 && host_.rules().depth() == 0;
    if (query) host_.queryBegins(*command);
    const char* answer = deliver(const_cast<char*>(copy), nelk_kind::commandText, "command " + shortText(command));
    if (query) host_.queryEnds();
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
    if (!name_.empty()) call_record::begin("delete " + name_);
    nelk_host_tool::deleteAsAHost(component_, host_.rules(), "deletion through the virtual destructor", !nullHost_);
    if (nelk_host_tool::lastCallNeedsName()) nelk_host_tool::nameLastCall(loadStatement_ + "\ndelete C");
    component_ = nullptr;
    callReturned();
    if (!name_.empty()) {
        call_record::end();
        if (!breachRecorded_ && !host_.rules().breaches().empty()) {
            breachRecorded_ = true;
            call_record::breach();
        }
    }
}

std::vector<std::string> subject::violations() const {
    std::vector<std::string> all;
    for (const nelk_test_kit::breach& each : host_.rules().breaches())
        all.push_back(std::string(nelk_test_kit::breachCategory(each.kind)) + ": " + nelk_test_kit::describe(each));
    return all;
}

std::vector<std::string> subject::meaningProblems() const {
    std::vector<std::string> all;
    for (const std::string& each : host_.meaningProblems()) all.push_back("meaning: " + each);
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
