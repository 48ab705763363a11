// What the checks share: verdicts from breaches, the library opened and closed under the
// process guard's eye, what the component says it offers, and the start every check makes.
// Each *_checks.cpp holds its checks and their table (checks.h). Host's thread.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "checks.h"
#include "component_library.h"
#include "component_profile.h"
#include "subject.h"

namespace nelk_validator {

check_outcome pass(const std::string& reason);
check_outcome fail(const std::string& reason);
check_outcome warn(const std::string& reason);
check_outcome skip(const std::string& reason);
// A C++ name as written in the source ("vtable for Corvane"), where it is a mangled one.
std::string readableName(const std::string& name);
// The first violation (and how many more), or a pass with `reason`.
check_outcome judge(const std::vector<std::string>& violations, const std::string& reason);
// Violations of the given categories only ("grammar", "give-back", ...), for the checks that
// judge one rule.
std::vector<std::string> ofCategories(const std::vector<std::string>& violations,
                                      std::initializer_list<const char*> categories);

// A library opened for one check, with the process guard told when it runs the library's own
// code (its static initialisers and destructors).
class opened_library {
public:
    explicit opened_library(const std::string& path);
    ~opened_library();
    opened_library(const opened_library&) = delete;
    opened_library& operator=(const opened_library&) = delete;
    const nelk_test_kit::component_library& get() const noexcept { return *library_; }
    bool loaded() const noexcept { return library_->loaded(); }
    const std::string& error() const noexcept { return library_->error(); }

private:
    std::unique_ptr<nelk_test_kit::component_library> library_;
};

// What the component says it offers, asked of a component of its own.
component_profile profileOf(const nelk_test_kit::component_library& library);
// "name.p1.p2...=value" with `count` dotted parts.
std::string dottedParts(int count);

// What a check's body gets from onLibrary: the library opened for the check, and what a component
// of it says it offers (asked of a component of its own, deleted since).
using library_body =
    std::function<check_outcome(const nelk_test_kit::component_library& library, const component_profile& profile)>;
// Opens the check's library (a library that cannot be opened fails the check) and runs `body`
// while it is open.
check_outcome onLibrary(const check_settings& settings, const library_body& body);

// How onComponent starts its components.
struct check_start {
    const char* loadText = "";         // the load text of each component
    std::vector<answer_text> answers;  // what the hosts answer "TG" and "XI" with from the start
};
// The start of most checks: the library opened, one component (or two) created from it with a
// validating host of its own, and what the first says it offers. An entry that returns null fails
// the check. The components live while `body` runs and are deleted after it, unless it deleted
// them (to judge their deletion).
check_outcome onComponent(const check_settings& settings,
                          const std::function<check_outcome(subject& target, const component_profile& profile)>& body,
                          const check_start& start = {});
check_outcome onTwoComponents(
    const check_settings& settings,
    const std::function<check_outcome(subject& first, subject& second, const component_profile& profile)>& body);

}  // namespace nelk_validator
