// The test kit's host: records every line a component sends, answers as a test scripts it, and
// checks the give-back rule. Public tool for component authors' own tests.
//
// Ownership: every text this host answers with ("TG", "XI") is allocated and owned by the host;
// the component must hand each back exactly once with hostSend(text, 5). Given-back texts stay
// allocated (and overwritten) until the host dies, so a late read finds garbage, not freed memory,
// and a second give-back is recognised. One thread, like a real host.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    // Every kind-0 line in the order sent.
    const std::vector<std::string>& lines() const noexcept { return lines_; }
    // The lines sent so far, and forgets them: what a step of a test sent.
    std::vector<std::string> takeLines();

    // Scripted answers. `match` is an exact line or a verb ("PS", "TG", ...); an exact line wins
    // over its verb. Without a script "PS" answers 1 and every other line null.
    void answerNumber(const std::string& match, std::intptr_t value);
    // A text answer (copied now, handed out fresh each time); nullopt answers null.
    void answerText(const std::string& match, std::optional<std::string> text);

    // Breaches so far: a give-back of a pointer never handed out, a second give-back, an unknown
    // kind, a null line, a malformed line (checked unless allowMalformedLines is set).
    const std::vector<std::string>& problems() const noexcept { return problems_; }
    // Problems plus one entry for each text answer not yet given back. A test calls it at its end.
    std::vector<std::string> finish() const;
    int outstandingAnswers() const noexcept;
    int textsHandedOut() const noexcept { return static_cast<int>(answers_.size()); }

    bool allowMalformedLines = false;

private:
    struct scripted {
        bool isText;
        std::intptr_t number;
        std::optional<std::string> text;
    };
    struct handedOut {
        std::unique_ptr<char[]> bytes;
        std::string line;
        bool givenBack;
    };
    const scripted* scriptFor(const std::string& line) const;
    void* answerFor(const std::string& line);
    void giveBack(const char* text);

    std::vector<std::string> lines_;
    std::vector<std::string> problems_;
    std::map<std::string, scripted> scripts_;
    std::map<const char*, handedOut> answers_;
    mutable std::size_t reported_ = 0;  // how many problems finish() has returned
};

}  // namespace nelk_test_kit
