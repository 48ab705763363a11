// Fuzzes the string library's arg, split, toInt, firstInt and list constructor against plain
// reference code.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "nelk_string.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool digit(char byte) { return byte >= '0' && byte <= '9'; }

long long saturate(long long value) { return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value; }

long long digitsAt(const std::string& text, std::size_t position) {
    long long value = 0;
    for (; position < text.size() && digit(text[position]); ++position) {
        if (value < 10000000000LL) value = value * 10 + (text[position] - '0');
    }
    return value;
}

int referenceToInt(const std::string& text) {
    std::size_t position = text.find_first_not_of(' ');
    if (position == std::string::npos) return 0;
    long long sign = 1;
    if (text[position] == '-' || text[position] == '+') sign = text[position++] == '-' ? -1 : 1;
    return static_cast<int>(saturate(sign * digitsAt(text, position)));
}

int referenceFirstInt(const std::string& text) {
    const std::size_t position = text.find_first_of("0123456789");
    if (position == std::string::npos) return 0;
    const long long sign = position > 0 && text[position - 1] == '-' ? -1 : 1;
    return static_cast<int>(saturate(sign * digitsAt(text, position)));
}

std::vector<std::string> referenceList(const std::string& text, char separator) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        items.push_back(text.substr(start, at - start));
    items.push_back(text.substr(start));
    return items;
}

// Marker number at `position` ("%1" to "%99", two digits when two follow), or 0.
int markerAt(const std::string& text, std::size_t position, std::size_t& width) {
    if (text[position] != '%' || position + 1 >= text.size() || text[position + 1] < '1' || text[position + 1] > '9') return 0;
    width = position + 2 < text.size() && digit(text[position + 2]) ? 3 : 2;
    return std::atoi(text.substr(position + 1, width - 1).c_str());
}

std::string referenceArg(const std::string& text, const std::string& insert) {
    int lowest = 100;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t width = 0;
        const int number = markerAt(text, i, width);
        if (number != 0 && number < lowest) lowest = number;
    }
    if (lowest == 100) return text;
    std::string result;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t width = 0;
        if (markerAt(text, i, width) == lowest) {
            result += insert;
            i += width;
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::string plain(const nelk_string& text) { return std::string(text, static_cast<std::size_t>(text.length())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const char separator = static_cast<char>(data[0]) == '\0' ? ',' : static_cast<char>(data[0]);
    // The rest is two texts split at the first zero byte: a format and a text to insert.
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string first = rest.substr(0, rest.find('\0'));
    const std::size_t zero = rest.find('\0');
    const std::string second = zero == std::string::npos ? std::string() : rest.substr(zero + 1, rest.find('\0', zero + 1) - zero - 1);

    const nelk_string text(first.c_str());
    require(plain(text) == first);
    require(text.toInt() == referenceToInt(first));
    require(text.firstInt() == referenceFirstInt(first));
    require(plain(text.arg(nelk_string(second.c_str()))) == referenceArg(first, second));

    nelk_string left;
    nelk_string right;
    text.split(separator, left, right);
    const std::size_t at = first.find(separator);
    require(plain(left) == first.substr(0, at));
    require(plain(right) == (at == std::string::npos ? std::string() : first.substr(at + 1)));

    const nelk_stringlist list(text, separator);
    const std::vector<std::string> expected = referenceList(first, separator);
    require(list.count() == static_cast<int>(expected.size()));
    std::size_t index = 0;
    for (const nelk_string& item : list) require(plain(item) == expected[index++]);
    std::string joined;
    for (std::size_t i = 0; i < expected.size(); ++i) joined += (i ? std::string(1, separator) : "") + expected[i];
    require(plain(list.toString(separator)) == joined);
    return 0;
}
