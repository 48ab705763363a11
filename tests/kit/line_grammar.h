// The shape of every command line a component may send. Public part of the test kit.
#pragma once

#include <string>

namespace nelk_test_kit {

// Empty when `line` is one of the nine verbs with well-formed arguments: numbers bare signed
// decimal within 32 bits (no leading zeros, no '+'), texts in single quotes, one space before
// each argument, no line end. Otherwise a one-line reason. Texts may hold anything, quotes
// included, so a text line is checked by its fixed skeleton (verb, separators, last quote).
// line: may be null (which is malformed); read during the call only.
std::string lineProblem(const char* line);

// The verb of a line (its first two bytes), or the whole line when shorter.
std::string verbOf(const std::string& line);

}  // namespace nelk_test_kit
