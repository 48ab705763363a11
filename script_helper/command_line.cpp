#include "command_line.h"

#include <cstring>

namespace nelk_command_line {

namespace {

// Copies a piece of a line. Pieces are mostly a few bytes long, where a call of memcpy costs
// more than the copy: fixed-size copies that may overlap cover 1 to 16 bytes without a loop.
inline void copyPiece(char* to, const char* from, int size) {
    if (size > 16) {
        std::memcpy(to, from, static_cast<std::size_t>(size));
    } else if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else {
        for (int i = 0; i < size; ++i) to[i] = from[i];
    }
}

}  // namespace

char* writeDecimal(char* out, int value) noexcept {
    char digits[10];
    int count = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *out++ = '-';
    while (count > 0) *out++ = digits[--count];
    return out;
}

line::line(std::initializer_list<piece> pieces) : data_(inline_) {
    std::size_t size = 0;
    for (const piece& part : pieces) size += static_cast<std::size_t>(part.length());
    if (size >= sizeof inline_) data_ = new char[size + 1];
    char* end = data_;
    for (const piece& part : pieces) {
        copyPiece(end, part.bytes(), part.length());
        end += part.length();
    }
    *end = '\0';
}

line::~line() {
    if (data_ != inline_) delete[] data_;
}

const char* format(char* buffer, int size, const char* pattern, int a, int b, int c) {
    const int values[] = {a, b, c};
    int next = 0;
    char* end = buffer;
    char* const last = buffer + size - 1;  // room kept for the terminator
    for (const char* cursor = pattern; *cursor != '\0' && end < last; ++cursor) {
        if (cursor[0] != '%' || cursor[1] != 'd' || next == 3) {
            *end++ = *cursor;
            continue;
        }
        ++cursor;
        char number[12];
        const int size = static_cast<int>(writeDecimal(number, values[next++]) - number);
        for (int i = 0; i < size && end < last; ++i) *end++ = number[i];
    }
    *end = '\0';
    return buffer;
}

}  // namespace nelk_command_line
