#include "session_record.h"

#include "host_rules.h"

namespace nelk_host_tool {

namespace {

// Statements that only look (their result says whether something held) or only print.
bool onlyLooks(const std::string& name) { return name == "expect" || name == "check" || name == "show" || name == "echo"; }

std::string answerWord(const nlohmann::ordered_json& answer) {
    return answer.is_null() ? "null" : statementWord(answer.get<std::string>());
}

}  // namespace

std::string statementWord(const std::string& text) {
    bool bare = !text.empty() && text != "null" && text != "nothing" && text != "default" && text != "->" && text[0] != '#';
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        if (code <= ' ' || byte == '"' || byte == '\\' || code >= 0x7f) bare = false;
    }
    // The tokenizer reads back every escape this writes (valid UTF-8 stays as it is).
    return bare ? text : "\"" + nelk_test_kit::escaped(text) + "\"";
}

session_record::session_record(std::string defaultLibrary, delivery_mode mode)
    : defaultLibrary_(resolvedLibraryPath("", defaultLibrary)), mode_(mode) {}

void session_record::statementBegins() {
    inStatement_ = true;
    sent_.clear();
    answers_.clear();
}

void session_record::observe(const nlohmann::ordered_json& event) {
    if (!inStatement_) return;
    const std::string kind = event.value("event", "");
    const std::string instance = event.value("instance", "");
    if (kind == "send") {
        if (sent_.empty() || sent_.back().first != instance) sent_.emplace_back(instance, std::vector<std::string>());
        sent_.back().second.push_back(event.value("line", ""));
    } else if (kind == "answer") {
        answers_.emplace_back(instance, event["answer"]);
    }
}

void session_record::statementEnded(const std::string& line, const std::vector<token>& words, statement_result result,
                                    const std::string& directory) {
    inStatement_ = false;
    if (words.empty()) return;
    const std::string name = words[0].text;
    // An expectation is written from what was sent instead; a failed look, or a statement that
    // could not run, is kept as a comment.
    if (name == "expect") return;
    step done{line, result == statement_result::ok, sent_};
    // Library paths as the statement resolved them, so that the file runs from any folder.
    if (name == "library" && words.size() == 2) {
        done.text = "library " + statementWord(resolvedLibraryPath(directory, words[1].text));
    } else if (name == "load" && words.size() >= 3 && words[2].text != "default") {
        done.text = "load " + statementWord(words[1].text) + " " + statementWord(resolvedLibraryPath(directory, words[2].text));
        if (words.size() == 4) done.text += " " + (words[3].isNull() ? std::string("null") : statementWord(words[3].text));
    }
    if (name == "command" && words.size() >= 3 && !answers_.empty()) {
        done.text = "command " + statementWord(words[1].text) + " " + (words[2].isNull() ? "null" : statementWord(words[2].text)) +
                    " -> " + answerWord(answers_.front().second);
        done.holds = true;  // the command ran; its answer is now the one it gave
    } else if (!done.holds && !onlyLooks(name) && !sent_.empty()) {
        done.holds = true;  // it failed after it delivered: the delivery is part of the session
    }
    steps_.push_back(std::move(done));
}

std::vector<std::string> session_record::statements() const {
    std::vector<std::string> all;
    for (const step& each : steps_) {
        if (each.holds) all.push_back(each.text);
    }
    return all;
}

std::string session_record::scenario(const simulator& host) const {
    std::string text = "# Saved by nelk-host: the statements of a session, what each instance sent, and the\n"
                       "# panels at the end. `nelk-host run` on this file replays the session.\n";
    if (!defaultLibrary_.empty()) text += "library " + statementWord(defaultLibrary_) + "\n";
    text += std::string("delivery ") + (mode_ == delivery_mode::immediate ? "immediate" : "queued") + "\n";
    for (const step& each : steps_) {
        text += (each.holds ? "" : "# did not hold: ") + each.text + "\n";
        if (!each.holds) continue;
        for (const auto& sent : each.sent) {
            text += "expect " + statementWord(sent.first);
            for (const std::string& line : sent.second) text += " " + statementWord(line);
            text += "\n";
        }
    }
    for (const instance* each : host.model().inOrder()) {
        if (each->phase != instance_phase::live) continue;
        for (const panel_control& control : each->panel.controls()) {
            for (const auto& property : control.properties) {
                text += "check " + statementWord(each->name) + " " + statementWord(control.id) + " " +
                        statementWord(property.first) + " " + statementWord(property.second) + "\n";
            }
        }
    }
    return text;
}

}  // namespace nelk_host_tool
