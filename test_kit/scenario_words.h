// How a text is written so that it reads back the same: escaped onto one line for a report, or as
// one word of a scenario statement. nelk-host, the validator and the tap write with these, and
// the scenario language's tokenizer reads every escape they write. Pure functions; any thread.
#pragma once

#include <string>

namespace nelk_test_kit {

// `text` with line feeds, tabs and other control bytes written as escapes (\n, \t, \xHH), so that
// it stays on one line; quotes and backslashes as well (\", \\) unless `controlsOnly` is set.
// Valid UTF-8 stays as it is.
std::string escaped(const std::string& text, bool controlsOnly = false);

// `text` as one word of a statement: bare when it can be, otherwise quoted with escapes.
std::string statementWord(const std::string& text);

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
