#include "recording_host.h"

#include <cstdio>

namespace nelk_test_kit {

recording_host::~recording_host() {
    const std::size_t seen = reported_;
    const std::vector<std::string> all = finish();
    for (std::size_t i = seen; i < all.size(); ++i) std::fprintf(stderr, "recording_host: %s\n", all[i].c_str());
}

void* recording_host::hostSend(const char* text, int kind) {
    if (kind == nelk_send::commandLine && text != nullptr) lines_.emplace_back(text);
    const std::optional<command_line> line = rules_.received(text, kind);
    if (!line) return nullptr;
    return answerFor(lines_.back(), line->verb);
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

const recording_host::scripted* recording_host::scriptFor(const std::string& line, nelk_verb verb) const {
    auto exact = scripts_.find(line);
    if (exact != scripts_.end()) return &exact->second;
    auto byVerb = scripts_.find(nelk_verbName(verb));
    return byVerb != scripts_.end() ? &byVerb->second : nullptr;
}

void* recording_host::answerFor(const std::string& line, nelk_verb verb) {
    const scripted* script = scriptFor(line, verb);
    if (script == nullptr) return verb == nelk_verb::PS ? reinterpret_cast<void*>(std::intptr_t{1}) : nullptr;
    if (!script->isText) return reinterpret_cast<void*>(script->number);
    if (!script->text) return nullptr;
    return rules_.handOut(line, *script->text);
}

std::vector<std::string> recording_host::problems() const {
    std::vector<std::string> all;
    for (const breach& each : rules_.breaches()) all.push_back(describe(each));
    return all;
}

std::vector<std::string> recording_host::finish() {
    rules_.finish();
    std::vector<std::string> all = problems();
    if (all.size() > reported_) reported_ = all.size();
    return all;
}

}  // namespace nelk_test_kit
