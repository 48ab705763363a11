#include "fuzzing/fuzz_dictionary.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace nelk_fuzzing {

namespace {

// Where numbers go wrong: signs, bytes, 16-bit and 32-bit edges.
const long long edges[] = {0, 1, -1, 2, 7, 8, 127, 128, 255, 256, 1000, 4096, 32767, 32768, 65535, 65536,
                           INT_MAX, INT_MIN, 1LL << 31, -(1LL << 31) - 1};

template <typename Value>
void keep(std::vector<Value>& pool, const Value& value, std::size_t most, std::minstd_rand& replace) {
    if (pool.size() < 64 && std::find(pool.begin(), pool.end(), value) != pool.end()) return;
    if (pool.size() < most) {
        pool.push_back(value);
        return;
    }
    pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(replace)] = value;
}

// Every run of digits (with a '-' before it) in `text`.
std::vector<long long> numbersIn(const std::string& text) {
    std::vector<long long> found;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!std::isdigit(static_cast<unsigned char>(text[at]))) continue;
        const std::size_t start = at > 0 && text[at - 1] == '-' ? at - 1 : at;
        found.push_back(std::strtoll(text.c_str() + start, nullptr, 10));
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    }
    return found;
}

}  // namespace

fuzz_dictionary::fuzz_dictionary(std::size_t mostTexts, std::size_t mostNumbers)
    : mostTexts_(mostTexts), mostNumbers_(mostNumbers) {}

void fuzz_dictionary::addText(const std::string& text) {
    if (!text.empty() && text.size() <= 256) keep(texts_, text, mostTexts_, replace_);
}

void fuzz_dictionary::addOwnText(const std::string& text) {
    if (!text.empty() && text.size() <= 256 && own_.size() < mostTexts_ && std::find(own_.begin(), own_.end(), text) == own_.end())
        own_.push_back(text);
}

void fuzz_dictionary::addTextTo(bool own, const std::string& text) {
    if (own) addOwnText(text);
    else if (!text.empty() && text.size() <= 256) keep(sent_, text, mostTexts_, replace_);
}

void fuzz_dictionary::addNumber(long long number) { keep(numbers_, number, mostNumbers_, replace_); }

void fuzz_dictionary::addAnswer(const std::string& answer, bool own) {
    std::size_t start = 0;
    while (start <= answer.size()) {
        std::size_t end = answer.find_first_of("\n\r", start);
        if (end == std::string::npos) end = answer.size();
        const std::string line = answer.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (line.empty() || equals == std::string::npos || equals == 0) continue;
        const std::string name = line.substr(0, equals + 1);
        std::string value = line.substr(equals + 1);
        addTextTo(own, line);
        addTextTo(own, name);
        value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == '[' || c == ']'; }), value.end());
        for (std::size_t from = 0; from <= value.size();) {
            std::size_t bar = value.find_first_of("|,", from);
            if (bar == std::string::npos) bar = value.size();
            const std::string alternative = value.substr(from, bar - from);
            if (!alternative.empty() && alternative != "value") addTextTo(own, name + alternative);
            from = bar + 1;
        }
        for (const long long number : numbersIn(value)) {
            addNumber(number);
            addNumber(number + 1);
            addNumber(number - 1);
        }
    }
}

void fuzz_dictionary::addSentLine(const std::string& line) {
    if (line.rfind("PS ", 0) == 0 || line.rfind("TG ", 0) == 0 || line.rfind("XI ", 0) == 0)
        keep(answerable_, line, 64, replace_);
    // "IR d first last" and "IU d": drivers and slots; "IW d 'text' slot flag": the numbers
    // outside the text.
    if (line.rfind("IR ", 0) == 0 || line.rfind("IU ", 0) == 0) {
        for (const long long number : numbersIn(line)) addNumber(number);
    } else if (line.rfind("IW ", 0) == 0) {
        const std::size_t text = line.find('\'');
        const std::size_t after = line.rfind('\'');
        for (const long long number : numbersIn(line.substr(0, text))) addNumber(number);
        if (after != std::string::npos && after != text)
            for (const long long number : numbersIn(line.substr(after))) addNumber(number);
    }
    for (std::size_t open = line.find('\''); open != std::string::npos; open = line.find('\'', open + 1)) {
        const std::size_t close = line.find('\'', open + 1);
        if (close == std::string::npos) break;
        keep(sent_, line.substr(open + 1, close - open - 1), mostTexts_, replace_);
        open = close;
    }
}

const std::string& fuzz_dictionary::text(std::minstd_rand& random) const {
    static const std::string none;
    const std::vector<std::string>* const pools[] = {&own_, &own_, &sent_, &texts_};
    const std::size_t first = std::uniform_int_distribution<std::size_t>(0, 3)(random);
    for (std::size_t step = 0; step < 4; ++step) {
        const std::vector<std::string>& pool = *pools[(first + step) % 4];
        if (!pool.empty()) return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
    }
    return none;
}

const std::string& fuzz_dictionary::answerable(std::minstd_rand& random) const {
    static const std::string none;
    if (answerable_.empty()) return none;
    return answerable_[std::uniform_int_distribution<std::size_t>(0, answerable_.size() - 1)(random)];
}

long long fuzz_dictionary::number(std::minstd_rand& random) const {
    const int how = std::uniform_int_distribution<int>(0, 9)(random);
    if (numbers_.empty() || how >= 7) {
        const std::size_t count = sizeof edges / sizeof edges[0];
        return edges[std::uniform_int_distribution<std::size_t>(0, count - 1)(random)];
    }
    const long long known = numbers_[std::uniform_int_distribution<std::size_t>(0, numbers_.size() - 1)(random)];
    if (how < 4) return known;
    return known + std::uniform_int_distribution<int>(-3, 3)(random);
}

}  // namespace nelk_fuzzing
