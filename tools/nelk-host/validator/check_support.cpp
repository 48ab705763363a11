#include "check_support.h"

#include <cstring>

#include "process/process_guard.h"
#include "subject.h"

namespace nelk_validator {

check_outcome pass(const std::string& reason) { return {check_status::pass, reason}; }
check_outcome fail(const std::string& reason) { return {check_status::fail, reason}; }

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

std::string dottedParts(int count) {
    std::string text = "name";
    for (int i = 1; i <= count; ++i) text += ".p" + std::to_string(i);
    return text + "=value";
}

}  // namespace nelk_validator
