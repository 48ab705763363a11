// One component under test: created from a library with its own validating host, driven with
// calls that the host's rules see begin and end, and deleted as a host deletes. Host's thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "component_library.h"
#include "validating_host.h"

namespace nelk_validator {

class subject {
public:
    // library: must outlive the subject. loadText: read during the call. nullHost: create with a
    // null host object (nothing can be checked then but survival).
    subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost = false);
    ~subject();  // deletes the component if destroy() was not called
    subject(const subject&) = delete;
    subject& operator=(const subject&) = delete;

    bool created() const noexcept { return component_ != nullptr; }
    // The component, null once destroyed; owned by the subject.
    nelk_client_callback* component() noexcept { return component_; }
    validating_host& host() noexcept { return host_; }
    const validating_host& host() const noexcept { return host_; }

    // One call into the component, seen by the rules. Returns what callback returned.
    const char* call(void* data, int kind);
    // Kind 3 as a host does it: copy the answer, give it back once with kind 5. nullopt: null.
    std::optional<std::string> command(const char* text);
    std::optional<std::string> command(const std::string& text) { return command(text.c_str()); }
    // Deletes through the virtual destructor; the rules expect "AS" during it.
    void destroy();

    // Every breach the host saw, one line each, "category: message".
    std::vector<std::string> violations() const;

private:
    validating_host host_;
    bool nullHost_;
    nelk_client_callback* component_ = nullptr;
};

// Every violation of the subjects' hosts.
std::vector<std::string> violationsOf(const std::vector<const subject*>& subjects);

}  // namespace nelk_validator
