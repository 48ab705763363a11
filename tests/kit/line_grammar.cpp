#include "line_grammar.h"

#include <climits>
#include <cstring>

namespace nelk_test_kit {
namespace {

// Reads a bare signed decimal of 32 bits at `text`; advances it past the number.
bool readNumber(const char*& text) {
    const char* cursor = text;
    bool negative = false;
    if (*cursor == '-') {
        negative = true;
        ++cursor;
    }
    if (*cursor < '0' || *cursor > '9') return false;
    if (*cursor == '0' && cursor[1] >= '0' && cursor[1] <= '9') return false;  // leading zero
    if (*cursor == '0' && negative) return false;                                // "-0"
    long long value = 0;
    for (; *cursor >= '0' && *cursor <= '9'; ++cursor) {
        value = value * 10 + (*cursor - '0');
        if (value > static_cast<long long>(INT_MAX) + (negative ? 1 : 0)) return false;
    }
    text = cursor;
    return true;
}

bool takeLiteral(const char*& text, const char* literal) {
    const std::size_t size = std::strlen(literal);
    if (std::strncmp(text, literal, size) != 0) return false;
    text += size;
    return true;
}

// Numbers separated by single spaces, `count` of them, then the end or what `rest` allows.
bool numbers(const char*& text, int count) {
    for (int i = 0; i < count; ++i) {
        if (!takeLiteral(text, " ") || !readNumber(text)) return false;
    }
    return true;
}

// Text lines: a quoted text may hold quotes, so look for the separators from the end.
// quotedTexts(" 'a' 'b'", n): exactly n quoted texts, each preceded by one space.
bool quotedTexts(const char* text, int count) {
    const char* end = text + std::strlen(text);
    // Work backwards: the last text ends with the last quote; each separator is "' '".
    if (count == 0) return text == end;
    if (end - text < 3 || end[-1] != '\'') return false;
    if (!takeLiteral(text, " '")) return false;
    const char* last = end - 1;  // the closing quote
    // Find count-1 separators "' '" between the opening and the closing quote, in order.
    for (int separator = 1; separator < count; ++separator) {
        const char* found = std::strstr(text, "' '");
        if (found == nullptr || found >= last) return false;
        text = found + 3;
    }
    return text <= last;
}

std::string shape(const char* verb, const char* expected) {
    return std::string("\"") + verb + "\" line is not of the form " + expected;
}

}  // namespace

std::string verbOf(const std::string& line) { return line.substr(0, 2); }

std::string lineProblem(const char* line) {
    if (line == nullptr) return "null command line";
    const std::size_t size = std::strlen(line);
    if (size == 0) return "empty command line";
    if (line[size - 1] == '\n' || line[size - 1] == '\r') return "command line ends with a line end";
    if (size < 2) return "command line shorter than a verb";
    const std::string verb(line, 2);
    const char* rest = line + 2;
    if (verb == "AS") return *rest == '\0' ? "" : shape("AS", "AS (no arguments)");
    if (verb == "IU" || verb == "ET") {
        return numbers(rest, 1) && *rest == '\0' ? "" : shape(verb.c_str(), (verb + " number").c_str());
    }
    if (verb == "IR") {
        if (numbers(rest, 3) && (*rest == '\0' || std::strcmp(rest, " 'ADD'") == 0)) return "";
        return shape("IR", "IR driver first last[ 'ADD']");
    }
    if (verb == "IW") {
        // IW driver 'text' index flag: numbers at both ends, the text in between.
        const char* end = line + size;
        const char* tail = end;
        while (tail > rest && tail[-1] != '\'') --tail;  // tail: after the text's closing quote
        const char* afterDriver = rest;
        if (numbers(afterDriver, 1) && takeLiteral(afterDriver, " '") && tail > afterDriver &&
            numbers(tail, 1) && (std::strcmp(tail, " 0") == 0 || std::strcmp(tail, " 1") == 0))
            return "";
        return shape("IW", "IW driver 'text' index 0|1");
    }
    if (verb == "TP") {
        if (quotedTexts(rest, 3) && std::strchr(rest, '=') != nullptr) return "";
        return shape("TP", "TP 'property=value' 'panel' 'control'");
    }
    if (verb == "TG") return quotedTexts(rest, 3) ? "" : shape("TG", "TG 'panel' 'control' 'property'");
    if (verb == "XI") return quotedTexts(rest, 2) ? "" : shape("XI", "XI 'panel' 'filter'");
    if (verb == "PS") {
        if (quotedTexts(rest, 2) || quotedTexts(rest, 3)) return "";
        return shape("PS", "PS 'panel' 'layout'[ 'extra']");
    }
    return "unknown verb \"" + verb + "\"";
}

}  // namespace nelk_test_kit
