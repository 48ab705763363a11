#include "check_support.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <memory>

#include "process/process_guard.h"
#include "subject.h"

namespace nelk_validator {

check_outcome pass(const std::string& reason) { return {check_status::pass, reason}; }
check_outcome fail(const std::string& reason) { return {check_status::fail, reason}; }
check_outcome warn(const std::string& reason) { return {check_status::warn, reason}; }
check_outcome skip(const std::string& reason) { return {check_status::skip, reason}; }

std::string readableName(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : name;
}

check_outcome judge(const std::vector<std::string>& violations, const std::string& reason) {
    if (violations.empty()) return pass(reason);
    std::string text = violations.front();
    if (violations.size() > 1) text += " (and " + std::to_string(violations.size() - 1) + " more)";
    return fail(text);
}

std::vector<std::string> ofCategories(const std::vector<std::string>& violations,
                                      std::initializer_list<const char*> categories) {
    std::vector<std::string> selected;
    for (const std::string& each : violations) {
        for (const char* category : categories) {
            const std::size_t size = std::strlen(category);
            if (each.compare(0, size, category) == 0 && each.size() > size && each[size] == ':') selected.push_back(each);
        }
    }
    return selected;
}

opened_library::opened_library(const std::string& path) {
    nelk_process_guard::setEvent("opening the library (its static initialisers)");
    library_ = std::make_unique<nelk_test_kit::component_library>(path);
    nelk_process_guard::setEvent("");
}

opened_library::~opened_library() {
    nelk_process_guard::setEvent("closing the library (its static destructors)");
    library_.reset();
    nelk_process_guard::setEvent("");
}

component_profile profileOf(const nelk_test_kit::component_library& library) {
    subject probe(library, "");
    component_profile profile = learnProfile(probe);
    probe.destroy();
    return profile;
}

check_outcome onLibrary(const check_settings& settings, const library_body& body) {
    const opened_library library(settings.library);
    if (!library.loaded()) return fail(library.error());
    return body(library.get(), profileOf(library.get()));
}

namespace {

check_outcome onComponents(const check_settings& settings, int count, const check_start& start,
                           const std::function<check_outcome(subject& first, subject& second, const component_profile&)>& body) {
    const opened_library library(settings.library);
    if (!library.loaded()) return fail(library.error());
    std::vector<std::unique_ptr<subject>> subjects;
    for (int i = 0; i < count; ++i) {
        subjects.push_back(std::make_unique<subject>(library.get(), start.loadText));
        if (!subjects.back()->created()) return fail("the entry returned null");
        if (!start.answers.empty()) subjects.back()->host().answerWith(start.answers);
    }
    const component_profile profile = learnProfile(*subjects.front());
    return body(*subjects.front(), *subjects.back(), profile);
}

}  // namespace

check_outcome onComponent(const check_settings& settings,
                          const std::function<check_outcome(subject& target, const component_profile& profile)>& body,
                          const check_start& start) {
    return onComponents(settings, 1, start, [&](subject& target, subject&, const component_profile& profile) {
        return body(target, profile);
    });
}

check_outcome onTwoComponents(
    const check_settings& settings,
    const std::function<check_outcome(subject& first, subject& second, const component_profile& profile)>& body) {
    return onComponents(settings, 2, check_start{}, body);
}

std::string dottedParts(int count) {
    std::string text = "name";
    for (int i = 1; i <= count; ++i) text += ".p" + std::to_string(i);
    return text + "=value";
}

}  // namespace nelk_validator
