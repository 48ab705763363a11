#include "recording_host.h"

#include <cstdio>
#include <cstring>

#include "line_grammar.h"

namespace nelk_test_kit {

recording_host::~recording_host() {
    const std::size_t seen = reported_;
    const std::vector<std::string> all = finish();
    for (std::size_t i = seen; i < all.size(); ++i) std::fprintf(stderr, "recording_host: %s\n", all[i].c_str());
}

void* recording_host::hostSend(const char* text, int kind) {
    if (kind == 5) {
        giveBack(text);
        return nullptr;
    }
    if (kind != 0) {
        problems_.push_back("hostSend with kind " + std::to_string(kind) + " (only 0 and 5 exist)");
        return nullptr;
    }
    if (text == nullptr) {
        problems_.push_back("hostSend with a null command line");
        return nullptr;
    }
    lines_.emplace_back(text);
    if (!allowMalformedLines) {
        const std::string problem = lineProblem(text);
        if (!problem.empty()) problems_.push_back(problem + ": " + text);
    }
    return answerFor(lines_.back());
}

std::vector<std::string> recording_host::takeLines() {
    std::vector<std::string> taken;
    taken.swap(lines_);
    return taken;
}

void recording_host::answerNumber(const std::string& match, std::intptr_t value) {
    scripts_[match] = scripted{false, value, std::nullopt};
}

void recording_host::answerText(const std::string& match, std::optional<std::string> text) {
    scripts_[match] = scripted{true, 0, std::move(text)};
}

const recording_host::scripted* recording_host::scriptFor(const std::string& line) const {
    auto exact = scripts_.find(line);
    if (exact != scripts_.end()) return &exact->second;
    auto verb = scripts_.find(verbOf(line));
    return verb != scripts_.end() ? &verb->second : nullptr;
}

void* recording_host::answerFor(const std::string& line) {
    const scripted* script = scriptFor(line);
    if (script == nullptr) return verbOf(line) == "PS" ? reinterpret_cast<void*>(std::intptr_t{1}) : nullptr;
    if (!script->isText) return reinterpret_cast<void*>(script->number);
    if (!script->text) return nullptr;
    const std::string& text = *script->text;
    std::unique_ptr<char[]> bytes(new char[text.size() + 1]);
    std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
    char* pointer = bytes.get();
    answers_[pointer] = handedOut{std::move(bytes), line, false};
    return pointer;
}

void recording_host::giveBack(const char* text) {
    auto answer = answers_.find(text);
    if (answer == answers_.end()) {
        problems_.push_back("gave back a pointer the host never handed out");
        return;
    }
    if (answer->second.givenBack) {
        problems_.push_back("gave back the answer to \"" + answer->second.line + "\" twice");
        return;
    }
    answer->second.givenBack = true;
    // Overwrite what the component should no longer read, keeping the terminator.
    const std::size_t size = std::strlen(answer->second.bytes.get());
    std::memset(answer->second.bytes.get(), '#', size);
}

int recording_host::outstandingAnswers() const noexcept {
    int count = 0;
    for (const auto& answer : answers_) count += answer.second.givenBack ? 0 : 1;
    return count;
}

std::vector<std::string> recording_host::finish() const {
    std::vector<std::string> all = problems_;
    for (const auto& answer : answers_) {
        if (!answer.second.givenBack) all.push_back("the answer to \"" + answer.second.line + "\" was never given back");
    }
    if (all.size() > reported_) reported_ = all.size();
    return all;
}

}  // namespace nelk_test_kit
