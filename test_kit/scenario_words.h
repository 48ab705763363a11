// The words of a scenario statement, written and read in one place: a text escaped onto one line
// for a report, or written as one word of a statement so that readStatementWords() gives it back
// as it was. nelk-host (its runner, demo, page and reports), the validator and the tap write
// with these. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_test_kit {

// `text` with line feeds, tabs and other control bytes written as escapes (\n, \t, \xHH), so that
// it stays on one line; quotes and backslashes as well (\", \\) unless `controlsOnly` is set.
// Valid UTF-8 stays as it is.
std::string escaped(const std::string& text, bool controlsOnly = false);

// `text` as one word of a statement: bare when it can be, otherwise quoted with escapes.
std::string statementWord(const std::string& text);

// One word of a statement as read: its text, and whether it was quoted (a quoted "null" is the
// text null, a bare one the null pointer).
struct statement_word {
    std::string text;
    bool quoted = false;
    bool isNull() const { return !quoted && text == "null"; }
};
// Splits one statement line into its words ('#' starts a comment); false with `problem` set on
// an unclosed quote, an unknown escape or a zero byte (texts reach a component as C texts).
bool readStatementWords(const std::string& line, std::vector<statement_word>& words, std::string& problem);
// The words written back as one line, a quoted word quoted with escapes and a bare one as it is:
// the line readStatementWords() reads as these same words again.
std::string writeStatement(const std::vector<statement_word>& words);

// The statements that replay what a host did to the instance `name`: its creation with `text`
// (null: a null pointer), the call callback(data, kind) read from its record while the call runs
// (kind 6's data is taken for a text only when `dataIsText`; otherwise the replay sends null),
// and the host's answer to a line it sent ("1", a quoted text or null: answerWord's forms).
std::string loadStatement(const std::string& name, const char* text);
std::string callStatement(const std::string& name, void* data, int kind, bool dataIsText);
std::string answerStatement(const std::string& name, const std::string& line, const std::string& answerWord);
// A text answer as a statement's word: quoted, or null.
std::string answerWord(const char* text);

}  // namespace nelk_test_kit
