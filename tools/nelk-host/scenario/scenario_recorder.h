// What a session did, kept so that it can be saved as a scenario that replays it: the statements
// as they ran, what each instance sent during each, each command's answer, and at the end the
// state of every panel. `nelk-host run` on the saved file passes on the same library and fails,
// with the difference, when the component changes. Host's thread.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "scenario_words.h"
#include "statements.h"

namespace nelk_host_tool {

class scenario_recorder {
public:
    // defaultLibrary: what "load NAME" used at the start; mode: the delivery at the start.
    scenario_recorder(std::string defaultLibrary, delivery_mode mode);

    // The runner's hooks around each statement; `line` as typed, `words` as read.
    void statementBegins();
    // directory: what the statement's relative library paths were taken from ("": the working
    // directory); they are written as absolute paths, so the saved file runs from anywhere.
    void statementEnded(const std::string& line, const std::vector<statement_word>& words, statement_result result,
                        const std::string& directory);
    // Every transcript event of the session (see transcript::listen).
    void observe(const nlohmann::ordered_json& event);

    // The session as a scenario file's text, with `check` lines of `host`'s live panels now. So
    // that it travels: library paths are written relative to the folder of `savedAt` (the file
    // it goes into; empty: absolute), and each instance's load text in the lines it sent as
    // ${load-text}.
    std::string scenario(const headless_host& host, const std::string& savedAt = "") const;
    // The statements that ran and changed something, as typed, in order (for reload).
    std::vector<std::string> statements() const;

private:
    struct step {
        std::string text;                     // the statement to write
        bool holds;                           // false: written as a comment
        std::vector<std::pair<std::string, std::vector<std::string>>> sent;  // instance -> lines, in order
        // A statement that names a library: its words, the library's place among them, and
        // the library made absolute; written out when the scenario is.
        std::vector<statement_word> words;
        int libraryWord = 0;
        std::string library;
    };
    std::string defaultLibrary_;
    delivery_mode mode_;
    std::vector<step> steps_;
    bool inStatement_ = false;
    std::vector<std::pair<std::string, std::vector<std::string>>> sent_;  // of the statement running
    std::vector<std::pair<std::string, nlohmann::ordered_json>> answers_;  // instance -> kind-3 answer
};

using nelk_test_kit::statementWord;

}  // namespace nelk_host_tool
