// The validator's host object: one per component, strict about every rule of the contract.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "guarded_text.h"
#include "nelk_host.h"

namespace nelk_validator {

// What the host answers "TG" and "XI" with, in turn; nullopt-like entries are answered null.
struct answer_text {
    bool isNull;
    std::string text;
};

class validating_host : public nelk_host {
public:
    explicit validating_host(std::string name) : name_(std::move(name)) {}
    void* hostSend(const char* text, int kind) override;

    // Texts answered to "TG" and "XI", used in rotation. Empty list: null answers.
    void answerWith(std::vector<answer_text> answers) { answers_ = std::move(answers); }
    // Called (at most one level deep) from inside hostSend for every kind-0 line, to nest calls.
    void nestWith(std::function<void(const std::string& line)> nested) { nested_ = std::move(nested); }
    // From now on deletion runs: no nesting, "AS" is expected.
    void deletionBegins() noexcept { deleting_ = true; nested_ = nullptr; }
    // Checks at deletion's end: "AS" sent exactly once and last.
    void deletionEnded();
    // Checks that every text handed out was given back; call when a call into the component
    // has returned.
    void callReturned();

    const std::vector<std::string>& lines() const noexcept { return lines_; }
    // Breaches, each "category: message"; categories: grammar, shutdown, give-back, kind.
    const std::vector<std::string>& violations() const noexcept { return violations_; }
    int textsHandedOut() const noexcept { return handedOut_; }

private:
    struct handed_out {
        std::unique_ptr<guarded_text> text;
        std::string line;
        bool givenBack = false;
    };
    void violation(const std::string& category, const std::string& message);
    void* answerText(const std::string& line);

    std::string name_;
    std::vector<std::string> lines_;
    std::vector<std::string> violations_;
    std::vector<answer_text> answers_;
    std::size_t nextAnswer_ = 0;
    std::map<const char*, handed_out> texts_;
    std::deque<const char*> revoked_;  // oldest first; only the newest are kept mapped
    std::function<void(const std::string&)> nested_;
    bool nesting_ = false;
    bool deleting_ = false;
    bool shutdownSeen_ = false;
    int handedOut_ = 0;
};

}  // namespace nelk_validator
