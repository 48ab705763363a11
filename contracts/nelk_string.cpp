// nelk_string: a std::string with the conversions and marker filling that components use.
#include "nelk_string.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

// Room for a line that is still being built, so that the next few appends of a `+` chain fit
// without another allocation.
std::size_t roomFor(std::size_t size) { return size * 2 + 32; }

void appendGrowing(std::string& text, const char* bytes, std::size_t count) {
    const std::size_t needed = text.size() + count;
    if (needed > text.capacity()) text.reserve(roomFor(needed));
    text.append(bytes, count);
}

bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }

// Reads the decimal digits at `position` into a saturated int; `negative` applies the sign.
int readDigits(const std::string& text, std::size_t position, bool negative) {
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; position < text.size() && isDigit(text[position]); ++position) {
        magnitude = magnitude * 10 + (text[position] - '0');
        if (magnitude > limit) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// A marker is '%' followed by 1-9 and an optional second digit: "%1" to "%99".
// Returns its number and sets `width` to its length, or returns 0 when none starts here.
int markerAt(const std::string& text, std::size_t position, std::size_t& width) {
    if (text[position] != '%' || position + 1 >= text.size()) return 0;
    const char first = text[position + 1];
    if (first < '1' || first > '9') return 0;
    if (position + 2 < text.size() && isDigit(text[position + 2])) {
        width = 3;
        return (first - '0') * 10 + (text[position + 2] - '0');
    }
    width = 2;
    return first - '0';
}

}  // namespace

nelk_string::nelk_string(const char* text) : text_(orEmpty(text)) {}

nelk_string::nelk_string(int value, char fill, int width, int base) {
    if (base < 2 || base > 36) base = 10;
    const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    char reversed[40];
    int count = 0;
    // Work on the negative side, where every int fits.
    long long rest = value < 0 ? value : -static_cast<long long>(value);
    do {
        reversed[count++] = digits[-(rest % base)];
        rest /= base;
    } while (rest != 0);
    if (value < 0) reversed[count++] = '-';
    std::string number(reversed, reversed + count);
    std::reverse(number.begin(), number.end());
    const char pad = fill != '\0' ? fill : ' ';
    const std::size_t span = static_cast<std::size_t>(width < 0 ? -static_cast<long long>(width) : width);
    if (number.size() < span) {
        if (width > 0)
            number.insert(0, span - number.size(), pad);
        else
            number.append(span - number.size(), pad);
    }
    text_ = std::move(number);
}

nelk_string::~nelk_string() = default;

nelk_string& nelk_string::operator=(const char* text) {
    text_.assign(orEmpty(text));
    return *this;
}

nelk_string& nelk_string::operator+=(const nelk_string& tail) {
    appendGrowing(text_, tail.text_.data(), tail.text_.size());
    return *this;
}

nelk_string& nelk_string::operator+=(const char* tail) {
    tail = orEmpty(tail);
    appendGrowing(text_, tail, std::strlen(tail));
    return *this;
}

int nelk_string::toInt() const noexcept {
    std::size_t position = 0;
    while (position < text_.size() && text_[position] == ' ') ++position;
    bool negative = false;
    if (position < text_.size() && (text_[position] == '-' || text_[position] == '+')) {
        negative = text_[position] == '-';
        ++position;
    }
    return readDigits(text_, position, negative);
}

int nelk_string::firstInt() const noexcept {
    for (std::size_t position = 0; position < text_.size(); ++position) {
        if (isDigit(text_[position]))
            return readDigits(text_, position, position > 0 && text_[position - 1] == '-');
    }
    return 0;
}

void nelk_string::split(char separator, nelk_string& left, nelk_string& right) const {
    const std::size_t at = text_.find(separator);
    if (at == std::string::npos) {
        std::string whole = text_;  // `left` or `right` may be this very string
        right.text_.clear();
        left.text_ = std::move(whole);
        return;
    }
    std::string before = text_.substr(0, at);
    std::string after = text_.substr(at + 1);
    left.text_ = std::move(before);
    right.text_ = std::move(after);
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
    // Which marker numbers are present, so that the i-th lowest one gets texts[i].
    bool present[100] = {};
    bool anyMarker = false;
    for (std::size_t position = 0; position < text_.size(); ++position) {
        std::size_t width = 0;
        if (const int number = markerAt(text_, position, width)) {
            present[number] = true;
            anyMarker = true;
        }
    }
    nelk_string result;
    if (!anyMarker || count <= 0) {
        result.text_ = text_;
        return result;
    }
    const nelk_string* fillFor[100] = {};
    for (int number = 1, next = 0; number < 100 && next < count; ++number) {
        if (present[number]) fillFor[number] = texts[next++];
    }
    result.text_.reserve(text_.size() + 16);
    for (std::size_t position = 0; position < text_.size();) {
        std::size_t width = 0;
        const int number = markerAt(text_, position, width);
        if (number != 0 && fillFor[number] != nullptr) {
            result.text_ += fillFor[number]->text_;
            position += width;
        } else {
            result.text_ += text_[position];
            ++position;
        }
    }
    return result;
}

void nelk_string::reserve(int capacity) {
    if (capacity > 0) text_.reserve(static_cast<std::size_t>(capacity));
}

void nelk_string::append(const char* bytes, int count) {
    if (bytes != nullptr && count > 0) text_.append(bytes, static_cast<std::size_t>(count));
}

namespace {

nelk_string joined(const char* left, std::size_t leftCount, const char* right, std::size_t rightCount) {
    nelk_string result;
    const std::size_t size = leftCount + rightCount;
    if (size > 15) result.reserve(static_cast<int>(roomFor(size)));
    result.append(left, static_cast<int>(leftCount));
    result.append(right, static_cast<int>(rightCount));
    return result;
}

}  // namespace

nelk_string operator+(const nelk_string& left, const nelk_string& right) {
    return joined(left, static_cast<std::size_t>(left.length()), right, static_cast<std::size_t>(right.length()));
}

nelk_string operator+(const nelk_string& left, const char* right) {
    right = orEmpty(right);
    return joined(left, static_cast<std::size_t>(left.length()), right, std::strlen(right));
}

nelk_string operator+(const char* left, const nelk_string& right) {
    left = orEmpty(left);
    return joined(left, std::strlen(left), right, static_cast<std::size_t>(right.length()));
}

nelk_string operator+(nelk_string&& left, const nelk_string& right) {
    left += right;
    return std::move(left);
}

nelk_string operator+(nelk_string&& left, const char* right) {
    left += right;
    return std::move(left);
}

bool operator==(const nelk_string& left, const char* right) noexcept {
    right = orEmpty(right);
    const std::size_t size = static_cast<std::size_t>(left.length());
    // strncmp stops at the right text's end, so a long right text is never scanned whole.
    return std::strncmp(static_cast<const char*>(left), right, size) == 0 && right[size] == '\0';
}

bool operator==(const nelk_string& left, const nelk_string& right) noexcept {
    return left.length() == right.length() &&
           std::memcmp(static_cast<const char*>(left), static_cast<const char*>(right),
                       static_cast<std::size_t>(left.length())) == 0;
}
