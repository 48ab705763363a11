#include "command_arguments.h"

#include <cstdlib>
#include <sstream>

namespace nelk_host_tool {
namespace {

std::vector<std::string> splitOn(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string::npos) break;
        pieces.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// Joins pieces[first..last] back with the separator they were split on.
std::string rejoin(const std::vector<std::string>& pieces, std::size_t first, std::size_t last) {
    std::string text = pieces[first];
    for (std::size_t i = first + 1; i <= last; ++i) text += "' '" + pieces[i];
    return text;
}

// `count` quoted texts from " 'a' 'b' ..."; the extra pieces go into text number `widest`.
std::vector<std::string> quoted(const std::string& rest, std::size_t count, std::size_t widest) {
    if (rest.size() < 3) return std::vector<std::string>(count);
    const std::vector<std::string> pieces = splitOn(rest.substr(2, rest.size() - 3), "' '");
    if (pieces.size() <= count) {
        std::vector<std::string> texts = pieces;
        texts.resize(count);
        return texts;
    }
    const std::size_t extra = pieces.size() - count;
    std::vector<std::string> texts;
    for (std::size_t i = 0, piece = 0; i < count; ++i) {
        const std::size_t last = i == widest ? piece + extra : piece;
        texts.push_back(rejoin(pieces, piece, last));
        piece = last + 1;
    }
    return texts;
}

std::vector<long long> numbersIn(const std::string& text) {
    std::vector<long long> numbers;
    std::istringstream stream(text);
    long long number;
    while (stream >> number) numbers.push_back(number);
    return numbers;
}

}  // namespace

command_arguments readArguments(const std::string& line) {
    command_arguments arguments;
    arguments.verb = line.substr(0, 2);
    const std::string rest = line.size() > 2 ? line.substr(2) : std::string();
    const std::string& verb = arguments.verb;
    if (verb == "TP") {
        arguments.texts = quoted(rest, 3, 0);
    } else if (verb == "TG") {
        arguments.texts = quoted(rest, 3, 1);
    } else if (verb == "XI") {
        arguments.texts = quoted(rest, 2, 1);
    } else if (verb == "PS") {
        // Two or three texts: a third one stands after a second "' '" at the top level.
        const std::size_t separators = splitOn(rest, "' '").size() - 1;
        arguments.texts = quoted(rest, separators >= 2 ? 3 : 2, 1);
    } else if (verb == "IR") {
        const std::size_t quote = rest.find(" 'ADD'");
        arguments.add = quote != std::string::npos;
        arguments.numbers = numbersIn(rest.substr(0, quote));
    } else if (verb == "IU" || verb == "ET") {
        arguments.numbers = numbersIn(rest);
    } else if (verb == "IW") {
        // IW driver 'text' index flag
        const std::size_t open = rest.find('\'');
        const std::size_t close = rest.rfind('\'');
        if (open != std::string::npos && close != std::string::npos && close > open) {
            arguments.texts.push_back(rest.substr(open + 1, close - open - 1));
            arguments.numbers = numbersIn(rest.substr(0, open));
            for (long long number : numbersIn(rest.substr(close + 1))) arguments.numbers.push_back(number);
        }
    }
    return arguments;
}

}  // namespace nelk_host_tool
