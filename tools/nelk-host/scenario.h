// The scenario language: one statement a line, '#' starts a comment. See docs/scenarios.md.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "simulator.h"
#include "transcript.h"

namespace nelk_host_tool {

// A word of a statement: a bare word, a "quoted text" (escapes \n \t \\ \" \xHH), or the bare
// word null, which stands for a null pointer.
struct token {
    std::string text;
    bool quoted = false;
    bool isNull() const { return !quoted && text == "null"; }
};

// Splits one statement line into tokens; false with `problem` set on an unclosed quote or a
// bad escape.
bool tokenize(const std::string& line, std::vector<token>& tokens, std::string& problem);

enum class statement_result {
    ok,
    failed,       // an expectation did not hold or the statement was malformed
    load_failed,  // a library could not be loaded or has no entry
};

class scenario_runner {
public:
    // defaultLibrary: the library that "load NAME" uses when it names none.
    scenario_runner(simulator& host, transcript& output, std::string defaultLibrary);

    // Runs every statement of the file, going on after a failed expectation; deletes the
    // instances left at the end. The result is the worst of its statements.
    statement_result runFile(const std::string& path);
    // Runs statements from a text; `origin` names it in messages ("demo", a file name).
    statement_result runText(const std::string& origin, const std::string& text);
    // One statement; `where` is "origin:line" for messages.
    statement_result runStatement(const std::string& where, const std::string& line);
    // The statements and what they do, for "help" and usage messages.
    static const char* help();

private:
    statement_result fail(const std::string& where, const std::string& text);
    statement_result expectLines(const std::string& where, const std::vector<token>& words);
    statement_result check(const std::string& where, const std::vector<token>& words);

    simulator& host_;
    transcript& output_;
    std::string defaultLibrary_;
};

// The directory part of a path ("" when it has none).
std::string directoryOf(const std::string& path);

}  // namespace nelk_host_tool
