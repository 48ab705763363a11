// One component under test: created from a library with its own validating host, driven with
// calls that are checked after they return, and deleted as a host deletes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "component_library.h"
#include "validating_host.h"

namespace nelk_validator {

class subject {
public:
    // nullHost: create with a null host object (nothing can be checked then but survival).
    subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost = false);
    ~subject();
    subject(const subject&) = delete;
    subject& operator=(const subject&) = delete;

    bool created() const noexcept { return component_ != nullptr; }
    nelk_client_callback* component() noexcept { return component_; }
    validating_host& host() noexcept { return host_; }
    const validating_host& host() const noexcept { return host_; }

    // One call into the component, then the give-back check. Returns what callback returned.
    const char* call(void* data, int kind);
    // Kind 3 as a host does it: copy the answer, give it back once with kind 5. nullopt: null.
    // An empty non-null answer is noted in `emptyAnswers`.
    std::optional<std::string> command(const char* text);
    // Deletes through the virtual destructor and checks that "AS" came last.
    void destroy();

    int emptyAnswers = 0;

private:
    validating_host host_;
    bool nullHost_;
    nelk_client_callback* component_ = nullptr;
};

// The usual events of a panel, in order: commands, slots, controls, timers, numbers, data.
void exercise(subject& target);

// Every violation of the subjects' hosts, each line once.
std::vector<std::string> violationsOf(const std::vector<const subject*>& subjects);

}  // namespace nelk_validator
