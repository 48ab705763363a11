#include "line_parser.h"

#include <climits>

namespace nelk_test_kit {

namespace {

std::string at(std::size_t position) { return " at byte " + std::to_string(position); }

bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }

// Reads a bare signed decimal of 32 bits starting at `position`; advances past it.
bool readNumber(const std::string& line, std::size_t& position, int& value, std::string& problem) {
    const std::size_t start = position;
    std::size_t cursor = position;
    const bool negative = cursor < line.size() && line[cursor] == '-';
    if (negative) ++cursor;
    if (cursor >= line.size() || !isDigit(line[cursor])) {
        problem = "expected a number" + at(start);
        return false;
    }
    const std::size_t digits = cursor;
    const long long largest = static_cast<long long>(INT_MAX) + (negative ? 1 : 0);
    long long magnitude = 0;
    for (; cursor < line.size() && isDigit(line[cursor]); ++cursor) {
        if (magnitude <= largest) magnitude = magnitude * 10 + (line[cursor] - '0');  // stops growing once too large
    }
    const std::string written = line.substr(start, cursor - start);
    if (cursor - digits > 1 && line[digits] == '0') {
        problem = "number \"" + written + "\"" + at(start) + " has a leading zero";
        return false;
    }
    if (negative && magnitude == 0) {
        problem = "number \"-0\"" + at(start) + " is not plain decimal";
        return false;
    }
    if (magnitude > largest) {
        problem = "number \"" + written + "\"" + at(start) + " is outside 32 bits";
        return false;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    position = cursor;
    return true;
}

// `count` numbers, each after one space, from `position`.
bool readNumbers(const std::string& line, std::size_t& position, int count, std::vector<int>& numbers,
                 const std::string& shape, std::string& problem) {
    for (int i = 0; i < count; ++i) {
        if (position >= line.size()) {
            problem = shape;
            return false;
        }
        if (line[position] != ' ') {
            problem = "expected a space" + at(position);
            return false;
        }
        ++position;
        int value = 0;
        if (!readNumber(line, position, value, problem)) return false;
        numbers.push_back(value);
    }
    return true;
}

std::vector<std::string> splitOn(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(separator, start)) != std::string::npos; start = found + separator.size())
        pieces.push_back(text.substr(start, found - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

// Quoted texts from byte 2 on: " 'a' 'b' ...", between `fewest` and `most` of them; pieces beyond
// `most` belong to text number `widest`, which may hold the separator "' '" itself.
bool readTexts(const std::string& line, std::size_t fewest, std::size_t most, std::size_t widest,
               std::vector<std::string>& texts, const std::string& shape, std::string& problem) {
    if (line.size() < 4 || line[3] != '\'') {
        problem = "expected a quoted text" + at(3);
        return false;
    }
    if (line.size() < 5 || line.back() != '\'') {
        const std::size_t separator = line.rfind("' '");
        problem = "unclosed quote" + at(separator == std::string::npos || separator < 3 ? 3 : separator + 2);
        return false;
    }
    const std::vector<std::string> pieces = splitOn(line.substr(4, line.size() - 5), "' '");
    if (pieces.size() < fewest) {
        problem = shape;
        return false;
    }
    const std::size_t count = pieces.size() < most ? pieces.size() : most;
    const std::size_t extra = pieces.size() - count;
    for (std::size_t i = 0, piece = 0; i < count; ++i) {
        std::string text = pieces[piece++];
        if (i == widest) {
            for (std::size_t more = 0; more < extra; ++more) text += "' '" + pieces[piece++];
        }
        texts.push_back(std::move(text));
    }
    return true;
}

// "IW driver 'text' index flag": the numbers at both ends, the text in between.
bool readWrite(const std::string& line, command_line& read, std::string& problem) {
    const std::string shape = "IW takes a number, a quoted text, a number and a flag 0 or 1";
    std::size_t position = 2;
    if (!readNumbers(line, position, 1, read.numbers, shape, problem)) return false;
    if (line.compare(position, 2, " '") != 0) {
        problem = position >= line.size() ? shape : "expected a quoted text" + at(position + 1);
        return false;
    }
    const std::size_t open = position + 1;
    const bool closed = line.find('\'', open + 1) != std::string::npos;
    const std::string failure = closed ? shape : "unclosed quote" + at(open);
    // From the end: " flag", then " index", then the text's closing quote.
    const std::size_t size = line.size();
    if (line[size - 2] != ' ' || (line[size - 1] != '0' && line[size - 1] != '1')) {
        problem = failure;
        return false;
    }
    const std::size_t indexEnd = size - 2;
    std::size_t indexStart = indexEnd;
    while (indexStart > open + 1 && isDigit(line[indexStart - 1])) --indexStart;
    if (indexStart > open + 1 && line[indexStart - 1] == '-') --indexStart;
    if (indexStart == indexEnd || indexStart < open + 3 || line[indexStart - 1] != ' ' || line[indexStart - 2] != '\'') {
        problem = failure;
        return false;
    }
    std::size_t cursor = indexStart;
    int index = 0;
    if (!readNumber(line, cursor, index, problem)) return false;
    const std::size_t close = indexStart - 2;
    read.texts.push_back(line.substr(open + 1, close - open - 1));
    read.numbers.push_back(index);
    read.numbers.push_back(line[size - 1] - '0');
    return true;
}

bool readArguments(const std::string& line, command_line& read, std::string& problem) {
    std::size_t position = 2;
    switch (read.verb) {
    case nelk_verb::AS:
        if (line.size() == 2) return true;
        problem = "AS takes no arguments";
        return false;
    case nelk_verb::IU:
    case nelk_verb::ET: {
        const std::string shape = std::string(nelk_verbName(read.verb)) + " takes 1 number";
        if (!readNumbers(line, position, 1, read.numbers, shape, problem)) return false;
        if (position == line.size()) return true;
        problem = shape;
        return false;
    }
    case nelk_verb::IR: {
        const std::string shape = "IR takes 3 numbers";
        if (!readNumbers(line, position, 3, read.numbers, shape, problem)) return false;
        if (position == line.size()) return true;
        if (line.compare(position, std::string::npos, " 'ADD'") == 0) {
            read.add = true;
            return true;
        }
        problem = "IR takes 3 numbers and an optional 'ADD'";
        return false;
    }
    case nelk_verb::IW: return readWrite(line, read, problem);
    case nelk_verb::TP:
        if (!readTexts(line, 3, 3, 0, read.texts, "TP takes 3 quoted texts", problem)) return false;
        if (read.texts[0].find('=') != std::string::npos) return true;
        problem = "TP's first text is not property=value";
        return false;
    case nelk_verb::TG: return readTexts(line, 3, 3, 1, read.texts, "TG takes 3 quoted texts", problem);
    case nelk_verb::XI: return readTexts(line, 2, 2, 1, read.texts, "XI takes 2 quoted texts", problem);
    case nelk_verb::PS: return readTexts(line, 2, 3, 1, read.texts, "PS takes 2 or 3 quoted texts", problem);
    }
    problem = "unknown verb";
    return false;
}

}  // namespace

line_reading readLine(const char* text) {
    line_reading reading;
    if (text == nullptr) {
        reading.problem = "null command line";
        return reading;
    }
    const std::string line(text);
    if (line.empty()) {
        reading.problem = "empty command line";
        return reading;
    }
    if (line.back() == '\n' || line.back() == '\r') {
        reading.problem = "command line ends with a line end";
        return reading;
    }
    command_line read;
    if (line.size() < 2 || !nelk_verbOf(text, read.verb)) {
        reading.problem = "unknown verb \"" + line.substr(0, 2) + "\"";
        return reading;
    }
    if (line.size() > 2 && line[2] != ' ') {
        reading.problem = "expected a space after the verb" + at(2);
        return reading;
    }
    if (readArguments(line, read, reading.problem)) reading.line = std::move(read);
    return reading;
}

std::string lineProblem(const char* text) { return readLine(text).problem; }

}  // namespace nelk_test_kit
