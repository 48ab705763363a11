// Builds host command lines. Internal to the framework.
#pragma once

#include <initializer_list>

#include "nelk_string.h"

namespace nelk_command_line {

// One piece of a line: a literal, a nelk_string, or a number written in decimal.
class piece {
public:
    piece(const char* literal) noexcept;           // NOLINT: implicit for readable call sites
    piece(const nelk_string& text) noexcept;       // NOLINT
    const char* bytes() const noexcept { return bytes_; }
    int length() const noexcept { return length_; }

private:
    const char* bytes_;
    int length_;
};

// The pieces joined into one line, with exactly one allocation when it does not fit inline.
nelk_string join(std::initializer_list<piece> pieces);

// Formats a line without texts into `buffer` of `size` bytes, bounded by the size.
// Returns buffer. Used for "IR", "IU" and "ET".
const char* format(char* buffer, int size, const char* pattern, int a, int b = 0, int c = 0);

}  // namespace nelk_command_line
