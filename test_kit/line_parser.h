// Reads a component's command line as a host reads it: the verb and its typed arguments, or the
// exact problem. The one reader of command lines for the test kit's host, nelk-host and the
// validator. Pure functions of their input; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "nelk_protocol.h"

namespace nelk_test_kit {

// One well-formed command line.
//   PS: texts panel, layout[, extra]      TP: texts property=value, panel, control
//   TG: texts panel, control, property    XI: texts panel, filter
//   IR: numbers driver, first, last; add  IU: number driver     ET: number id
//   IW: numbers driver, index, flag (0 or 1) and text the text  AS: nothing
struct command_line {
    nelk_verb verb = nelk_verb::AS;
    std::vector<std::string> texts;  // quoted arguments without their quotes, in order
    std::vector<int> numbers;        // bare arguments, in order
    bool add = false;                // "IR ... 'ADD'"
};

// A line read: `line` when well-formed, otherwise `problem` says what is wrong and where
// ("unclosed quote at byte 14", "IR takes 3 numbers"); bytes are counted from 0.
struct line_reading {
    std::optional<command_line> line;
    std::string problem;
};

// Reads `text` (zero-terminated or null; read during the call only). A line is a verb of two
// upper-case letters and its arguments, each after one space: numbers bare signed decimal within
// 32 bits (no '+', no leading zeros, no "-0"), texts in single quotes, no line end. A text may
// hold anything, quotes included, so the texts of a line are found from its fixed separators:
// the property=value of "TP", the control of "TG", the filter of "XI", the layout of "PS" and
// the text of "IW" take any extra "' '" pieces.
line_reading readLine(const char* text);

// Empty when `text` is a well-formed line, otherwise the problem of readLine.
std::string lineProblem(const char* text);

}  // namespace nelk_test_kit
