#include "command_line.h"

#include <cstdio>
#include <cstring>

namespace nelk_command_line {

piece::piece(const char* literal) noexcept
    : bytes_(literal), length_(static_cast<int>(std::strlen(literal))) {}

piece::piece(const nelk_string& text) noexcept : bytes_(text), length_(text.length()) {}

nelk_string join(std::initializer_list<piece> pieces) {
    int size = 0;
    for (const piece& part : pieces) size += part.length();
    nelk_string line;
    line.reserve(size);
    for (const piece& part : pieces) line.append(part.bytes(), part.length());
    return line;
}

const char* format(char* buffer, int size, const char* pattern, int a, int b, int c) {
    std::snprintf(buffer, static_cast<std::size_t>(size), pattern, a, b, c);
    return buffer;
}

}  // namespace nelk_command_line
