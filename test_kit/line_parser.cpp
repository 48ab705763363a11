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
bool readWrite(const std::string& line, command_line& read, const std::string& shape, std::string& problem) {
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

// What follows a verb, one form a verb: the kit's one table of verbs' arguments.
enum class arguments { none, numbers, registration, write, texts, assignment };
struct verb_arguments {
    nelk_verb verb;
    arguments shape;
    int count;   // numbers, or the fewest texts
    int most;    // texts
    int widest;  // the text that takes extra "' '" pieces
    const char* shapeText;
};

const verb_arguments verbArguments[] = {
    {nelk_verb::PS, arguments::texts, 2, 3, 1, "PS takes 2 or 3 quoted texts"},
    {nelk_verb::TP, arguments::assignment, 3, 3, 0, "TP takes 3 quoted texts"},
    {nelk_verb::IR, arguments::registration, 3, 0, 0, "IR takes 3 numbers"},
    {nelk_verb::IU, arguments::numbers, 1, 0, 0, "IU takes 1 number"},
    {nelk_verb::IW, arguments::write, 0, 0, 0, "IW takes a number, a quoted text, a number and a flag 0 or 1"},
    {nelk_verb::ET, arguments::numbers, 1, 0, 0, "ET takes 1 number"},
    {nelk_verb::TG, arguments::texts, 3, 3, 1, "TG takes 3 quoted texts"},
    {nelk_verb::XI, arguments::texts, 2, 2, 1, "XI takes 2 quoted texts"},
    {nelk_verb::AS, arguments::none, 0, 0, 0, "AS takes no arguments"},
};
static_assert(sizeof verbArguments / sizeof verbArguments[0] == nelk_verbCount, "a row for every verb");

bool readArguments(const std::string& line, command_line& read, std::string& problem) {
    const verb_arguments& form = verbArguments[static_cast<int>(read.verb)];
    std::size_t position = 2;
    switch (form.shape) {
    case arguments::none:
        if (line.size() == 2) return true;
        problem = form.shapeText;
        return false;
    case arguments::numbers:
        if (!readNumbers(line, position, form.count, read.numbers, form.shapeText, problem)) return false;
        if (position == line.size()) return true;
        problem = form.shapeText;
        return false;
    case arguments::registration:
        if (!readNumbers(line, position, form.count, read.numbers, form.shapeText, problem)) return false;
        if (position == line.size()) return true;
        if (line.compare(position, std::string::npos, " 'ADD'") == 0) {
            read.add = true;
            return true;
        }
        problem = std::string(form.shapeText) + " and an optional 'ADD'";
        return false;
    case arguments::write: return readWrite(line, read, form.shapeText, problem);
    case arguments::texts:
        return readTexts(line, static_cast<std::size_t>(form.count), static_cast<std::size_t>(form.most),
                         static_cast<std::size_t>(form.widest), read.texts, form.shapeText, problem);
    case arguments::assignment:
        if (!readTexts(line, static_cast<std::size_t>(form.count), static_cast<std::size_t>(form.most),
                       static_cast<std::size_t>(form.widest), read.texts, form.shapeText, problem))
            return false;
        if (read.texts[0].find('=') != std::string::npos) return true;
        problem = std::string(nelk_verbName(form.verb)) + "'s first text is not property=value";
        return false;
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
