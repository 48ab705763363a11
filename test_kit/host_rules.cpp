#include "host_rules.h"

#include <cstring>

namespace nelk_test_kit {

namespace {

const char notBeforeReturn[] = "not given back (kind 5) before the call returned";

// The rules of the component being called now, innermost first; one host thread.
host_rules* calling = nullptr;

class plain_storage : public text_storage {
public:
    char* store(const std::string& text) override {
        char* bytes = new char[text.size() + 1];
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        return bytes;
    }
    void revoke(char* text) override { std::memset(text, '#', std::strlen(text)); }
    void release(char* text) override { delete[] text; }
};

std::string quoted(const std::string& line) { return "\"" + line + "\""; }

}  // namespace

std::unique_ptr<text_storage> plainTextStorage() { return std::make_unique<plain_storage>(); }

const char* breachCategory(breach_kind kind) noexcept {
    switch (kind) {
    case breach_kind::malformed_line: return "grammar";
    case breach_kind::unknown_kind: return "kind";
    case breach_kind::line_after_shutdown:
    case breach_kind::shutdown_outside_deletion:
    case breach_kind::no_shutdown: return "shutdown";
    case breach_kind::foreign_give_back:
    case breach_kind::double_give_back:
    case breach_kind::late_give_back:
    case breach_kind::not_given_back: return "give-back";
    case breach_kind::line_outside_call:
    case breach_kind::line_through_other_host:
    case breach_kind::line_from_other_thread: return "call";
    case breach_kind::foreign_answer: return "answer";
    case breach_kind::calling_convention: return "convention";
    }
    return "protocol";
}

std::string describe(const breach& problem) {
    const bool ofALine = problem.kind == breach_kind::malformed_line || problem.kind == breach_kind::line_after_shutdown ||
                         problem.kind == breach_kind::shutdown_outside_deletion ||
                         problem.kind == breach_kind::line_outside_call ||
                         problem.kind == breach_kind::line_through_other_host ||
                         problem.kind == breach_kind::line_from_other_thread;
    if (!ofALine || problem.line.empty()) return problem.message;
    return problem.message + " (line: " + escaped(problem.line) + ")";
}

host_rules::host_rules(std::unique_ptr<text_storage> storage, bool tracksCalls)
    : storage_(std::move(storage)), tracksCalls_(tracksCalls) {}

host_rules::~host_rules() {
    if (calling == this) calling = outerCall_;
    for (auto& entry : ledger_) storage_->release(const_cast<char*>(entry.first));
}

void host_rules::note(breach_kind kind, std::string message, std::string line) {
    breaches_.push_back(breach{kind, std::move(message), std::move(line)});
}

std::optional<command_line> host_rules::received(const char* text, int kind) {
    if (kind == nelk_send::giveBack) {
        giveBack(text);
        return std::nullopt;
    }
    if (kind != nelk_send::commandLine) {
        note(breach_kind::unknown_kind, "hostSend with kind " + std::to_string(kind) + " (only 0 and 5 exist)");
        return std::nullopt;
    }
    line_reading reading = readLine(text);
    const std::string line = text != nullptr ? text : "";
    if (tracksCalls_ && depth_ == 0) {
        if (calling != nullptr) {
            note(breach_kind::line_through_other_host, "a line on this component's host object while another component was being called", line);
        } else {
            note(breach_kind::line_outside_call, "a line while no call into the component was in progress", line);
        }
    } else if (tracksCalls_ && std::this_thread::get_id() != callingThread_) {
        note(breach_kind::line_from_other_thread, "a line from a thread other than the one that called the component", line);
    }
    if (shutdown_ && tracksCalls_) {
        note(breach_kind::line_after_shutdown, "a line after \"AS\"", line);
        return std::nullopt;
    }
    if (!reading.line) {
        note(breach_kind::malformed_line, reading.problem, line);
        return std::nullopt;
    }
    if (reading.line->verb == nelk_verb::AS) {
        shutdown_ = true;
        if (!deleting_ && tracksCalls_) note(breach_kind::shutdown_outside_deletion, "\"AS\" sent while the component was not being deleted", line);
    }
    return std::move(reading.line);
}

char* host_rules::handOut(const std::string& line, const std::string& text) {
    char* bytes = storage_->store(text);
    ledger_[bytes] = ledger_entry{line, text_state::out};
    ++handedOut_;
    return bytes;
}

void host_rules::giveBack(const char* text) {
    auto found = ledger_.find(text);
    if (found == ledger_.end()) {
        note(breach_kind::foreign_give_back, "gave back (kind 5) a pointer the host never handed out");
        return;
    }
    ledger_entry& entry = found->second;
    if (entry.state == text_state::givenBack) {
        note(breach_kind::double_give_back, "gave back the answer to " + quoted(entry.line) + " twice", entry.line);
        return;
    }
    if (entry.state == text_state::overdue)
        note(breach_kind::late_give_back, "gave back the answer to " + quoted(entry.line) + " late, after the call it came in had returned",
             entry.line);
    entry.state = text_state::givenBack;
    char* bytes = const_cast<char*>(found->first);
    storage_->revoke(bytes);
    revoked_.push_back(bytes);
    // Older ones are released, so a long run holds a bounded amount.
    while (revoked_.size() > keptGivenBack_) {
        forget(revoked_.front());
        revoked_.pop_front();
    }
}

void host_rules::forget(char* text) {
    ledger_.erase(text);
    storage_->release(text);
}

void host_rules::dueNow(const char* when) {
    for (auto& entry : ledger_) {
        if (entry.second.state != text_state::out) continue;
        note(breach_kind::not_given_back, "the answer to " + quoted(entry.second.line) + " was " + when, entry.second.line);
        entry.second.state = text_state::overdue;  // reported once; kept, as the component may still read it
    }
}

void host_rules::callBegins() noexcept {
    if (depth_++ == 0) {
        callingThread_ = std::this_thread::get_id();
        outerCall_ = calling;
        calling = this;
    }
}

void host_rules::callEnds() {
    if (depth_ == 0) return;
    if (--depth_ != 0) return;
    if (calling == this) calling = outerCall_;
    outerCall_ = nullptr;
    if (tracksCalls_) dueNow(notBeforeReturn);
}

void host_rules::answerReturned(const char* answer, const std::string& command) {
    if (answer == nullptr) return;
    auto out = answers_.find(answer);
    if (out != answers_.end()) {
        report(breach_kind::foreign_answer, "the kind-3 answer to " + quoted(escaped(command)) +
                                                " is the block already answered to " + quoted(escaped(out->second)) +
                                                ", which the host has not given back yet");
        return;
    }
    answers_[answer] = command;
}

void host_rules::answerGivenBack(const char* answer) { answers_.erase(answer); }

void host_rules::report(breach_kind kind, std::string message, std::string line) {
    note(kind, std::move(message), std::move(line));
}

void host_rules::deletionEnds() {
    if (tracksCalls_) dueNow(notBeforeReturn);
    if (!shutdown_) note(breach_kind::no_shutdown, "deleted without announcing its shutdown with \"AS\"");
}

void host_rules::finish() { dueNow("never given back"); }

int host_rules::outstandingTexts() const noexcept {
    int count = 0;
    for (const auto& entry : ledger_) count += entry.second.state == text_state::givenBack ? 0 : 1;
    return count;
}

}  // namespace nelk_test_kit
