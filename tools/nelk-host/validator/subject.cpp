#include "subject.h"

namespace nelk_validator {

subject::subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost)
    : nullHost_(nullHost) {
    host_.rules().callBegins();
    component_ = library.create(nullHost ? nullptr : &host_, loadText);
    host_.rules().callEnds();
}

subject::~subject() { destroy(); }

const char* subject::call(void* data, int kind) {
    if (component_ == nullptr) return nullptr;
    host_.rules().callBegins();
    const char* result = component_->callback(data, kind);
    host_.rules().callEnds();
    return result;
}

std::optional<std::string> subject::command(const char* text) {
    const char* answer = call(const_cast<char*>(text), nelk_kind::commandText);
    if (answer == nullptr) return std::nullopt;
    std::string copy(answer);
    call(const_cast<char*>(answer), nelk_kind::giveBackAnswer);
    return copy;
}

void subject::destroy() {
    if (component_ == nullptr) return;
    host_.stopNesting();
    host_.rules().deletionBegins();
    host_.rules().callBegins();
    delete component_;
    component_ = nullptr;
    host_.rules().callEnds();
    if (!nullHost_) host_.rules().deletionEnds();
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
