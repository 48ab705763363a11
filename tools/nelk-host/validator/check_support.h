// What the checks share: verdicts from breaches, the library opened and closed under the
// process guard's eye, and what the component says it offers. Host's thread.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "checks.h"
#include "component_library.h"
#include "component_profile.h"

namespace nelk_validator {

check_outcome pass(const std::string& reason);
check_outcome fail(const std::string& reason);
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

// The checks, by their concern (lifecycle_checks.cpp, protocol_checks.cpp,
// robustness_checks.cpp); the table in checks.cpp lists them in the order they run.
check_outcome libraryLoad(const check_settings& settings);
check_outcome exportsOnlyTheEntry(const check_settings& settings);
check_outcome loadUnloadCycle(const check_settings& settings);
check_outcome sideBySide(const check_settings& settings);
check_outcome createNullHost(const check_settings& settings);
check_outcome createLoadTexts(const check_settings& settings);
check_outcome shutdownLast(const check_settings& settings);
check_outcome lineGrammar(const check_settings& settings);
check_outcome callDiscipline(const check_settings& settings);
check_outcome answerLifetime(const check_settings& settings);
check_outcome hostTextGiveBack(const check_settings& settings);
check_outcome nestedCalls(const check_settings& settings);
check_outcome reentrantChanges(const check_settings& settings);
check_outcome oddNotifications(const check_settings& settings);
check_outcome commandValues(const check_settings& settings);
check_outcome heapFlat(const check_settings& settings);
check_outcome randomStorm(const check_settings& settings);

}  // namespace nelk_validator

// Opens the check's library, or ends the check with why it could not be opened.
#define NELK_OPEN_OR_FAIL(name, settings)                  \
    opened_library name##Handle((settings).library);       \
    if (!name##Handle.loaded()) return fail(name##Handle.error()); \
    const nelk_test_kit::component_library& name = name##Handle.get()
