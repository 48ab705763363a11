#include "scenario_recorder.h"

#include <filesystem>

#include "host_rules.h"

namespace nelk_host_tool {

namespace {

std::string answerWord(const nlohmann::ordered_json& answer) {
    return answer.is_null() ? "null" : statementWord(answer.get<std::string>());
}

// The words of a statement written again, the first `count` of them (all: -1), with `replace`
// standing for word `at`; each word quoted where it must be (the writer's choice, not the typist's).
std::string written(const std::vector<statement_word>& words, int count, int at = -1, const std::string& replace = "") {
    std::vector<statement_word> kept;
    for (int i = 0; i < static_cast<int>(words.size()) && (count < 0 || i < count); ++i) {
        if (i != at && words[i].isNull()) {
            kept.push_back(words[i]);
            continue;
        }
        const std::string& text = i == at ? replace : words[i].text;
        kept.push_back({text, statementWord(text) != text});
    }
    return writeStatement(kept);
}

}  // namespace

scenario_recorder::scenario_recorder(std::string defaultLibrary, delivery_mode mode)
    : defaultLibrary_(resolvedLibraryPath("", defaultLibrary)), mode_(mode) {}

void scenario_recorder::statementBegins() {
    inStatement_ = true;
    sent_.clear();
    answers_.clear();
}

void scenario_recorder::observe(const nlohmann::ordered_json& event) {
    if (!inStatement_) return;
    const std::optional<transcript_event> kind = eventKind(event);
    const std::string instance = event.value("instance", "");
    if (kind == transcript_event::send) {
        if (sent_.empty() || sent_.back().first != instance) sent_.emplace_back(instance, std::vector<std::string>());
        sent_.back().second.push_back(event.value("line", ""));
    } else if (kind == transcript_event::answer) {
        answers_.emplace_back(instance, event["answer"]);
    }
}

void scenario_recorder::statementEnded(const std::string& line, const std::vector<statement_word>& words, statement_result result,
                                    const std::string& directory) {
    inStatement_ = false;
    const statement_form* form = formOf(words);
    // A session command is not part of the scenario; an expectation is written from what was
    // sent instead.
    if (form == nullptr || form->role == statement_role::session || form->role == statement_role::expects) return;
    // A failed look, or a statement that could not run, is kept as a comment.
    step done;
    done.text = line;
    done.holds = result == statement_result::ok;
    done.sent = sent_;
    // Library paths as the statement resolved them, so that the file runs from any folder.
    const int library = form->libraryWord;
    if (library > 0 && static_cast<int>(words.size()) > library && words[library].text != "default") {
        done.words = words;
        done.libraryWord = library;
        done.library = resolvedLibraryPath(directory, words[library].text);
        done.text = written(words, -1, library, done.library);
    }
    if (form->answers && words.size() >= 3 && !answers_.empty()) {
        done.text = written(words, 3) + " -> " + answerWord(answers_.front().second);
        done.holds = true;  // the command ran; its answer is now the one it gave
    } else if (!done.holds && form->role != statement_role::looks && !sent_.empty()) {
        done.holds = true;  // it failed after it delivered: the delivery is part of the session
    }
    steps_.push_back(std::move(done));
}

std::vector<std::string> scenario_recorder::statements() const {
    std::vector<std::string> all;
    for (const step& each : steps_) {
        if (each.holds) all.push_back(each.text);
    }
    return all;
}

std::string scenario_recorder::scenario(const headless_host& host, const std::string& savedAt) const {
    // A library as the saved file names it: relative to the file's folder, when there is a file.
    const auto libraryAsSaved = [&](const std::string& library) {
        if (savedAt.empty()) return library;
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::absolute(savedAt, error).parent_path();
        const std::filesystem::path relative = std::filesystem::path(library).lexically_relative(folder);
        return error || relative.empty() ? library : relative.generic_string();
    };
    // A line an instance sent, with its load text (a folder) written as ${load-text}.
    const auto lineAsSaved = [&](const std::string& name, std::string line) {
        const instance* sender = host.model().find(name);
        const std::string loadText = sender != nullptr ? sender->loadText.value_or("") : "";
        if (loadText.find_first_of("/\\") == std::string::npos) return line;
        for (std::size_t at = 0; (at = line.find(loadText, at)) != std::string::npos; at += 12)
            line.replace(at, loadText.size(), "${load-text}");
        return line;
    };
    std::string text = "# Saved by nelk-host: the statements of a session, what each instance sent, and the\n"
                       "# panels at the end. `nelk-host run` on this file replays the session; library paths are\n"
                       "# relative to this file's folder, and ${load-text} stands for an instance's load text.\n";
    if (!defaultLibrary_.empty()) text += "library " + statementWord(libraryAsSaved(defaultLibrary_)) + "\n";
    text += std::string("delivery ") + deliveryName(mode_) + "\n";
    for (const step& each : steps_) {
        const std::string statement =
            each.libraryWord > 0 ? written(each.words, -1, each.libraryWord, libraryAsSaved(each.library)) : each.text;
        text += (each.holds ? "" : "# did not hold: ") + statement + "\n";
        if (!each.holds) continue;
        for (const auto& sent : each.sent) {
            text += "expect " + statementWord(sent.first);
            for (const std::string& line : sent.second) text += " " + statementWord(lineAsSaved(sent.first, line));
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
