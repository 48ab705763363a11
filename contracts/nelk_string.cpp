// nelk_string: bytes inside the object up to 47, on the heap beyond; the conversions and marker
// filling that components use. Heap blocks are allocated and released only here.
#include "nelk_string.h"

#include <climits>
#include <stdexcept>

void nelk_refuseLongText() { throw std::length_error("a text of 2 GB or more"); }  // as std::string does

namespace {

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }

// A marker is '%' followed by 1-9 and an optional second digit: "%1" to "%99".
// Returns its number and sets `width` to its length, or returns 0 when none starts here.
int markerAt(const char* text, int& width) {
    if (text[0] != '%' || text[1] < '1' || text[1] > '9') return 0;
    if (isDigit(text[2])) {
        width = 3;
        return (text[1] - '0') * 10 + (text[2] - '0');
    }
    width = 2;
    return text[1] - '0';
}

}  // namespace

nelk_string::nelk_string(int value, char fill, int width, int base) : nelk_string() {
    char number[33];
    const int count = static_cast<int>(nelk_writeNumber(number, value, base) - number);
    const char pad = fill != '\0' ? fill : ' ';
    const long long span = width < 0 ? -static_cast<long long>(width) : width;
    const long long padding = span > count ? span - count : 0;
    if (padding > 0) reserve(static_cast<int>(span));
    const char padText[1] = {pad};
    for (long long i = 0; width > 0 && i < padding; ++i) append(padText, 1);
    append(number, count);
    for (long long i = 0; width < 0 && i < padding; ++i) append(padText, 1);
}

void nelk_string::release(char* block) noexcept { delete[] block; }

void nelk_string::assignGrowing(const char* bytes, int count) {
    // `bytes` may lie inside the old block, which is released only after the copy.
    char* block = new char[static_cast<std::size_t>(count) + 1];
    std::memcpy(block, bytes, static_cast<std::size_t>(count));
    block[count] = '\0';
    if (data_ != inline_) delete[] data_;
    data_ = block;
    length_ = count;
    capacity_ = count;
}

void nelk_string::appendGrowing(const char* bytes, int count) {
    // Room for the next few appends of a line being built, so that a chain of + allocates once.
    const long long needed = static_cast<long long>(length_) + count;
    if (needed >= INT_MAX) nelk_refuseLongText();
    const long long grown = needed * 2 + 32;
    const int capacity = static_cast<int>(grown > INT_MAX - 1 ? needed : grown);
    char* block = new char[static_cast<std::size_t>(capacity) + 1];
    std::memcpy(block, data_, static_cast<std::size_t>(length_));
    std::memcpy(block + length_, bytes, static_cast<std::size_t>(count));
    if (data_ != inline_) delete[] data_;
    data_ = block;
    length_ += count;
    capacity_ = capacity;
    data_[length_] = '\0';
}

void nelk_string::reserve(int capacity) {
    if (capacity <= capacity_) return;
    char* block = new char[static_cast<std::size_t>(capacity) + 1];
    std::memcpy(block, data_, static_cast<std::size_t>(length_) + 1);
    if (data_ != inline_) delete[] data_;
    data_ = block;
    capacity_ = capacity;
}

void nelk_string::split(char separator, nelk_string& left, nelk_string& right) const {
    if (&left == this || &right == this) {
        const nelk_string source(*this);  // copy out first when writing over the source
        source.split(separator, left, right);
        return;
    }
    nelk_stringview before;
    nelk_stringview after;
    nelk_stringview(*this).split(separator, before, after);
    left.assign(before.data(), before.length());
    right.assign(after.data(), after.length());
}

nelk_string nelk_string::arg(const nelk_string& text) const {
    const nelk_string* texts[] = {&text};
    return argEach(texts, 1);
}

nelk_string nelk_string::arg(int value, char fill, int width, int base) const {
    const nelk_string number(value, fill, width, base);
    return arg(number);
}

nelk_string nelk_string::argEach(const nelk_string* const* texts, int count) const {
    // Which marker numbers (1 to 99) are present; the i-th lowest of them gets texts[i].
    unsigned long long present[2] = {0, 0};
    for (const char* cursor = static_cast<const char*>(std::memchr(data_, '%', static_cast<std::size_t>(length_)));
         cursor != nullptr && cursor < data_ + length_; cursor = std::strchr(cursor + 1, '%')) {
        int width = 0;
        if (const int number = markerAt(cursor, width)) present[number / 64] |= 1ULL << (number % 64);
    }
    if ((present[0] | present[1]) == 0 || count <= 0) return *this;
    // The text for a marker number: its rank among the present numbers, if below count.
    auto textFor = [&](int number) -> const nelk_string* {
        int rank = 0;
        for (int below = 1; below < number; ++below) rank += (present[below / 64] >> (below % 64)) & 1ULL ? 1 : 0;
        return rank < count ? texts[rank] : nullptr;
    };
    nelk_string result;
    result.reserve(length_);
    int copied = 0;  // bytes of this string already in the result
    for (int position = 0; position < length_; ++position) {
        int width = 0;
        const int number = data_[position] == '%' ? markerAt(data_ + position, width) : 0;
        const nelk_string* text = number != 0 ? textFor(number) : nullptr;
        if (text == nullptr) continue;
        result.append(data_ + copied, position - copied);  // the run before the marker, at once
        result.append(text->data_, text->length_);
        position += width - 1;
        copied = position + 1;
    }
    result.append(data_ + copied, length_ - copied);
    return result;
}

namespace {

// The start of a chain of +: beyond the inline room, reserve for the appends still to come, so
// that the whole chain allocates once.
nelk_string joined(const char* left, int leftCount, const char* right, int rightCount) {
    nelk_string result;
    const long long size = static_cast<long long>(leftCount) + rightCount;
    if (size > 47) result.reserve(static_cast<int>(size * 2 + 32 < INT_MAX ? size * 2 + 32 : size));
    result.append(left, leftCount);
    result.append(right, rightCount);
    return result;
}

}  // namespace

nelk_string operator+(const nelk_string& left, const nelk_string& right) {
    return joined(left, left.length(), right, right.length());
}

nelk_string operator+(const nelk_string& left, const char* right) {
    right = orEmpty(right);
    return joined(left, left.length(), right, nelk_textLength(right));
}

nelk_string operator+(const char* left, const nelk_string& right) {
    left = orEmpty(left);
    return joined(left, nelk_textLength(left), right, right.length());
}

nelk_string operator+(nelk_string&& left, const nelk_string& right) {
    left += right;
    return std::move(left);
}

nelk_string operator+(nelk_string&& left, const char* right) {
    left += right;
    return std::move(left);
}
