// The validator's host object, one per component: it holds the component to the host rules
// (host_rules.h) with every handed-out text in guarded pages, answers "TG" and "XI" with hostile
// texts in turn, can make calls from inside hostSend, and remembers what the component told it
// (its registrations and the controls it set) so that the checks can drive any component.
// Host's thread only.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host_rules.h"
#include "nelk_host.h"

namespace nelk_validator {

// What the host answers "TG" and "XI" with, in turn; isNull entries are answered null.
struct answer_text {
    bool isNull;
    std::string text;
};

// An "IR" the component sent.
struct registration {
    int driver;
    int first;
    int last;
};

class validating_host : public nelk_host {
public:
    validating_host();
    void* hostSend(const char* text, int kind) override;

    // Texts answered to "TG" and "XI", used in rotation. Empty list: null answers.
    void answerWith(std::vector<answer_text> answers) { answers_ = std::move(answers); }
    // Called (one level deep) from inside hostSend for every line, to nest calls; the line is
    // valid during the call only.
    void nestWith(std::function<void(const std::string& line)> nested) { nested_ = std::move(nested); }
    void stopNesting() { nested_ = nullptr; }

    // The rules, for the subject that reports calls and deletion to them.
    nelk_test_kit::host_rules& rules() noexcept { return rules_; }
    const nelk_test_kit::host_rules& rules() const noexcept { return rules_; }

    // Every line, in order, unless keepLines(false): then only counted.
    const std::vector<std::string>& lines() const noexcept { return lines_; }
    void keepLines(bool keep) noexcept { keepLines_ = keep; }
    long long linesSent() const noexcept { return linesSent_; }
    // Held while the host handles a hostSend, and by the subject around a call's begin and end:
    // a component's own thread may send at any time.
    std::recursive_mutex& lock() noexcept { return lock_; }
    const std::vector<registration>& registrations() const noexcept { return registrations_; }
    // Control ids the component set properties of, each once, in the order first seen.
    const std::vector<std::string>& controls() const noexcept { return controls_; }

private:
    void* answerText(const std::string& line);
    void remember(const nelk_test_kit::command_line& line);

    nelk_test_kit::host_rules rules_;
    std::vector<std::string> lines_;
    std::vector<answer_text> answers_;
    std::size_t nextAnswer_ = 0;
    std::vector<registration> registrations_;
    std::vector<std::string> controls_;
    std::function<void(const std::string&)> nested_;
    bool nesting_ = false;
    bool keepLines_ = true;
    long long linesSent_ = 0;
    std::recursive_mutex lock_;
};

}  // namespace nelk_validator
