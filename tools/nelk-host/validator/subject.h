// One component under test: created from a library with its own validating host, driven with
// calls whose records and texts live in guarded pages (read-only during the call, revoked after
// it), each call seen by the host's rules and named to the process guard, and deleted as a host
// deletes. Host's thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component_library.h"
#include "guarded_memory.h"
#include "validating_host.h"

namespace nelk_validator {

class subject {
public:
    // library: must outlive the subject. loadText: copied into guarded pages that are revoked when
    // the entry returns, so that a component that keeps the pointer faults at once. nullHost:
    // create with a null host object (nothing can be checked then but survival).
    // behaviour: how the host acts from the creation on ("PS" is answered then).
    subject(const nelk_test_kit::component_library& library, const char* loadText, bool nullHost = false,
            const host_behaviour& behaviour = {});
    ~subject();  // deletes the component if destroy() was not called
    subject(const subject&) = delete;
    subject& operator=(const subject&) = delete;

    bool created() const noexcept { return component_ != nullptr; }
    // The component, null once destroyed; owned by the subject.
    nelk_client_callback* component() noexcept { return component_; }
    validating_host& host() noexcept { return host_; }
    const validating_host& host() const noexcept { return host_; }

    // One call with data of the caller's (a word, or what odd kinds carry); `what` names it.
    const char* call(void* data, int kind, const std::string& what);
    // The deliveries of a host, with their records and texts in guarded pages. nullopt: a null
    // pointer in the record. nullNames: the control's command record carries null name and value.
    void slot(int driver, int index, const std::optional<std::string>& text);
    void control(const std::optional<std::string>& id, const std::optional<std::string>& command, bool nullNames = false);
    void timer(int id);
    void number(int value);
    void data(const std::string& payload);
    // Kind 3 (text: null allowed): the answer is checked to be a block of the component's own
    // that is not out already, and stays out until giveBack(). Returns it, or null (also for
    // an answer that is not the component's own, which is never given back).
    const char* ask(const char* text);
    void giveBack(const char* answer);
    // ask(), a copy of the answer, giveBack(). nullopt: a null answer.
    std::optional<std::string> command(const char* text);
    std::optional<std::string> command(const std::string& text) { return command(text.c_str()); }
    // Deletes through the virtual destructor; the rules expect "AS" during it.
    void destroy();

    // How many calls were made into the component so far.
    long long calls() const noexcept { return calls_; }

    // Every breach the host saw, one line each, "category: message".
    std::vector<std::string> violations() const;
    // Lines that would do the wrong thing to a real host (validating_host::meaningProblems),
    // "meaning: ..." each; judged by the checks of meaning only.
    std::vector<std::string> meaningProblems() const;
    // Delivers the slot events the host owes (host_behaviour::reportsSlots) until none is owed.
    void deliverOwedReports();

private:
    // `dataIsText`: kind 6's data is a text (for the call record).
    const char* deliver(void* data, int kind, const std::string& what, bool dataIsText = false);
    std::unique_ptr<call_arena> arena(std::size_t bytes, const char* label);
    void finished(std::unique_ptr<call_arena> used);

    validating_host host_;
    bool nullHost_;
    nelk_client_callback* component_ = nullptr;
    arena_history history_;
    std::map<const char*, std::string> answers_;  // answers out, with their commands
    long long calls_ = 0;
    int depth_ = 0;           // calls in progress (nested ones too)
    bool draining_ = false;   // delivering owed slot events
    std::string name_;        // in the call record; "" when not recording
    std::string loadStatement_;  // what creates it, as instance C, for naming its slow calls
    bool breachRecorded_ = false;
};

// Every violation of the subjects' hosts.
std::vector<std::string> violationsOf(const std::vector<const subject*>& subjects);

// A short, escaped, one-line view of a text for reports: at most `keep` bytes, then its size.
std::string shortText(const std::optional<std::string>& text, std::size_t keep = 120);

}  // namespace nelk_validator
