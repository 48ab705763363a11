#include "subject.h"

#include <cstdint>

#include "notifications.h"

namespace nelk_validator {

using nelk_test_kit::control_notification;
using nelk_test_kit::slot_notification;
using nelk_test_kit::wordFor;

subject::subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost)
    : host_("component"), nullHost_(nullHost) {
    component_ = library.create(nullHost ? nullptr : &host_, loadText);
    host_.callReturned();
}

subject::~subject() { destroy(); }

const char* subject::call(void* data, int kind) {
    if (component_ == nullptr) return nullptr;
    const char* result = component_->callback(data, kind);
    host_.callReturned();
    return result;
}

std::optional<std::string> subject::command(const char* text) {
    const char* answer = call(const_cast<char*>(text), 3);
    if (answer == nullptr) return std::nullopt;
    std::string copy(answer);
    if (copy.empty()) ++emptyAnswers;
    call(const_cast<char*>(answer), 5);
    return copy;
}

void subject::destroy() {
    if (component_ == nullptr) return;
    host_.deletionBegins();
    delete component_;
    component_ = nullptr;
    if (!nullHost_) host_.deletionEnded();
}

void exercise(subject& target) {
    const char* commands[] = {"_commands", "_events", "return=all", "InfoDriverID=12", "Slot=7", "text=probe",
                              "return=all", "Slot=8", "text=second", "unknown=1", ""};
    for (const char* text : commands) target.command(text);
    slot_notification matching(12, 8, "slot text");
    slot_notification other(13, 1, "other text");
    target.call(matching.record(), 1);
    target.call(other.record(), 1);
    control_notification press("button1", "press=1");
    control_notification actionAll("ActionAll", "alarm=1");
    control_notification acknowledge("AckAll", "ack");
    target.call(press.record(), 2);
    target.call(actionAll.record(), 2);
    target.call(acknowledge.record(), 2);
    target.call(wordFor(1), 4);
    target.call(wordFor(7), 7);
    char payload[16] = "data";
    target.call(payload, 6);
}

std::vector<std::string> violationsOf(const std::vector<const subject*>& subjects) {
    std::vector<std::string> all;
    for (const subject* each : subjects) {
        for (const std::string& violation : each->host().violations()) all.push_back(violation);
    }
    return all;
}

}  // namespace nelk_validator
