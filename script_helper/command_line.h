// Builds host command lines. Internal to the framework.
#pragma once

#include <cstring>
#include <initializer_list>

#include "nelk_string.h"

namespace nelk_command_line {

// One piece of a line: a literal or a nelk_string, read while the line is built.
class piece {
public:
    piece(const char* literal) noexcept  // NOLINT: implicit for readable call sites
        : bytes_(literal), length_(static_cast<int>(std::strlen(literal))) {}
    piece(const nelk_string& text) noexcept : bytes_(text), length_(text.length()) {}  // NOLINT
    const char* bytes() const noexcept { return bytes_; }
    int length() const noexcept { return length_; }

private:
    const char* bytes_;
    int length_;
};

// A command line joined from pieces: up to 255 bytes on the stack, longer ones in one heap
// block. The line lives as long as the object, so it is released right after hostSend returns.
class line {
public:
    explicit line(std::initializer_list<piece> pieces);
    ~line();
    line(const line&) = delete;
    line& operator=(const line&) = delete;
    const char* text() const noexcept { return data_; }

private:
    char* data_;
    char inline_[256];
};

// Writes `value` in signed decimal at `out` (at most 11 bytes, no terminator); returns the end.
char* writeDecimal(char* out, int value) noexcept;

// Formats a line without texts into `buffer` of `size` bytes, bounded by the size: the pattern's
// bytes as they are, each "%d" replaced by the next of a, b, c in signed decimal. Returns buffer.
// Used for "IR", "IU" and "ET".
const char* format(char* buffer, int size, const char* pattern, int a, int b = 0, int c = 0);

}  // namespace nelk_command_line
