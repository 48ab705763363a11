// The test kit's host: records every line a component sends, answers as a test scripts it, and
// holds the component to the host rules (host_rules.h). Public tool for component authors' tests.
//
// Ownership: every text this host answers with ("TG", "XI") is allocated and owned by the host;
// the component must hand each back exactly once with hostSend(text, 5). Given-back texts stay
// allocated (and overwritten) for a while, so a late read finds garbage, not freed memory, and a
// second give-back is recognised. One thread, like a real host; one component per host.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host_rules.h"
#include "nelk_host.h"

namespace nelk_test_kit {

class recording_host : public nelk_host {
public:
    recording_host() = default;
    // Writes to standard error the problems that no call of finish() has looked at, so that a
    // test that forgot to look still shows them.
    ~recording_host() override;
    recording_host(const recording_host&) = delete;
    recording_host& operator=(const recording_host&) = delete;

    void* hostSend(const char* text, int kind) override;

    // Every kind-0 line in the order sent, well-formed or not; valid until the next call.
    const std::vector<std::string>& lines() const noexcept { return lines_; }
    // The lines sent so far, and forgets them: what a step of a test sent.
    std::vector<std::string> takeLines();

    // Scripted answers. `match` is an exact line or a verb ("PS", "TG", ...); an exact line wins
    // over its verb. Without a script "PS" answers 1 and every other line null.
    void answerNumber(const std::string& match, std::intptr_t value);
    // A text answer (copied now, handed out fresh each time); nullopt answers null.
    void answerText(const std::string& match, std::optional<std::string> text);

    // Breaches so far, one line each (host_rules.h lists them).
    std::vector<std::string> problems() const;
    // Problems plus one entry for each text answer not given back by now. A test calls it at
    // its end; afterwards a give-back of those texts counts as late.
    std::vector<std::string> finish();
    int outstandingAnswers() const noexcept { return rules_.outstandingTexts(); }
    int textsHandedOut() const noexcept { return rules_.textsHandedOut(); }
    // The rules this host applies, for tests that look at breaches by kind.
    const host_rules& rules() const noexcept { return rules_; }

private:
    struct scripted {
        bool isText;
        std::intptr_t number;
        std::optional<std::string> text;
    };
    const scripted* scriptFor(const std::string& line, nelk_verb verb) const;
    void* answerFor(const std::string& line, nelk_verb verb);

    host_rules rules_;
    std::vector<std::string> lines_;
    std::map<std::string, scripted> scripts_;
    std::size_t reported_ = 0;  // how many problems finish() has returned
};

}  // namespace nelk_test_kit
