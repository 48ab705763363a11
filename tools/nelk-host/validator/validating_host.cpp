#include "validating_host.h"

#include "line_grammar.h"

namespace nelk_validator {

void validating_host::violation(const std::string& category, const std::string& message) {
    violations_.push_back(category + ": " + message);
}

void* validating_host::hostSend(const char* text, int kind) {
    if (kind == 5) {
        auto found = texts_.find(text);
        if (found == texts_.end()) {
            violation("give-back", "gave back (kind 5) a pointer the host never handed out");
        } else if (found->second.givenBack) {
            violation("give-back", "gave back the answer to \"" + found->second.line + "\" twice");
        } else {
            found->second.givenBack = true;
            found->second.text->revoke();  // any later touch faults
            // Keep the newest revoked pages reserved, so a late touch still faults, but bound
            // what a long run holds; the oldest are released.
            revoked_.push_back(text);
            if (revoked_.size() > 4096) {
                texts_.erase(revoked_.front());
                revoked_.pop_front();
            }
        }
        return nullptr;
    }
    if (kind != 0) {
        violation("kind", "hostSend with kind " + std::to_string(kind));
        return nullptr;
    }
    if (text == nullptr) {
        violation("grammar", "hostSend with a null line");
        return nullptr;
    }
    const std::string line(text);
    lines_.push_back(line);
    if (shutdownSeen_) violation("shutdown", "\"" + line + "\" sent after \"AS\"");
    const std::string problem = nelk_test_kit::lineProblem(text);
    if (!problem.empty()) violation("grammar", problem + ": \"" + line + "\"");
    const std::string verb = nelk_test_kit::verbOf(line);
    if (verb == "AS") {
        if (!deleting_) violation("shutdown", "\"AS\" sent while the component was not being deleted");
        if (shutdownSeen_) violation("shutdown", "\"AS\" sent twice");
        shutdownSeen_ = true;
    }
    void* answer = nullptr;
    if (verb == "PS") answer = reinterpret_cast<void*>(std::intptr_t{1});
    if (verb == "TG" || verb == "XI") answer = answerText(line);
    if (nested_ && !nesting_ && !deleting_) {
        nesting_ = true;
        nested_(line);
        nesting_ = false;
    }
    return answer;
}

void* validating_host::answerText(const std::string& line) {
    if (answers_.empty()) return nullptr;
    const answer_text& next = answers_[nextAnswer_++ % answers_.size()];
    if (next.isNull) return nullptr;
    auto text = std::make_unique<guarded_text>(next.text);
    const char* pointer = text->pointer();
    texts_[pointer] = handed_out{std::move(text), line, false};
    ++handedOut_;
    return const_cast<char*>(pointer);
}

void validating_host::callReturned() {
    for (auto& entry : texts_) {
        if (entry.second.givenBack) continue;
        violation("give-back", "the answer to \"" + entry.second.line + "\" was not given back before the call returned");
        entry.second.givenBack = true;  // reported once
    }
}

void validating_host::deletionEnded() {
    callReturned();
    if (!shutdownSeen_) violation("shutdown", "deleted without sending \"AS\"");
    else if (lines_.empty() || lines_.back() != "AS") violation("shutdown", "\"AS\" was not the last line");
}

}  // namespace nelk_validator
