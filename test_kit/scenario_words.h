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

}  // namespace nelk_test_kit
