#include "scenario_words.h"

#include <cstdint>

#include "host_records.h"
#include "nelk_protocol.h"

namespace nelk_test_kit {

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when the bytes there are not one.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xf0 && lead <= 0xf4 ? 4 : lead >= 0xe0 && lead <= 0xef ? 3 : lead >= 0xc2 && lead <= 0xdf ? 2 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xc0) != 0x80) return 0;
    }
    return length;
}

int hexDigit(char byte) {
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

bool isBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\r'; }

// A bare word, from `position` up to the next blank or the line's end; false with `problem` at a zero byte.
bool readBareWord(const std::string& line, std::size_t& position, statement_word& word, std::string& problem) {
    while (position < line.size() && !isBlank(line[position])) {
        if (line[position] == '\0') {
            problem = "a zero byte in a word: texts reach the component as C texts, which end at it";
            return false;
        }
        word.text += line[position++];
    }
    return true;
}

// The escape whose letter is at `position` (a backslash went before it), added to `text` and passed;
// false with `problem` for one the writer never makes.
bool readEscape(const std::string& line, std::size_t& position, std::string& text, std::string& problem) {
    const char escape = line[position++];
    switch (escape) {
    case 'n': text += '\n'; break;
    case 't': text += '\t'; break;
    case 'r': text += '\r'; break;
    case '\\': text += '\\'; break;
    case '"': text += '"'; break;
    case 'x': {
        const int high = position < line.size() ? hexDigit(line[position]) : -1;
        const int low = position + 1 < line.size() ? hexDigit(line[position + 1]) : -1;
        if (high < 0 || low < 0) {
            problem = "\\x needs two hexadecimal digits";
            return false;
        }
        if (high == 0 && low == 0) {
            problem = "\\x00 cannot stand in a text: texts reach the component as C texts, which end at a zero byte";
            return false;
        }
        text += static_cast<char>(high * 16 + low);
        position += 2;
        break;
    }
    default:
        problem = std::string("unknown escape \\") + escaped(std::string(1, escape));
        return false;
    }
    return true;
}

// A quoted word whose opening quote is at `position`, read up to and past its closing quote; false
// with `problem` for a zero byte, a bad escape or no closing quote.
bool readQuotedWord(const std::string& line, std::size_t& position, statement_word& word, std::string& problem) {
    word.quoted = true;
    const std::size_t opening = position++;
    bool closed = false;
    while (position < line.size()) {
        const char next = line[position++];
        if (next == '"') {
            closed = true;
            break;
        }
        if (next == '\0') {
            problem = "a zero byte inside a quoted text: texts reach the component as C texts, which end at it";
            return false;
        }
        if (next != '\\') {
            word.text += next;
            continue;
        }
        if (position >= line.size()) break;
        if (!readEscape(line, position, word.text, problem)) return false;
    }
    if (!closed) {
        problem = "the quoted text opened at column " + std::to_string(opening + 1) + " is not closed";
        return false;
    }
    return true;
}

}  // namespace

std::string escaped(const std::string& text, bool controlsOnly) {
    std::string result;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char byte = text[at];
        if (static_cast<unsigned char>(byte) >= 0x80) {
            // Text in UTF-8 stays as it is; any other high byte is written as an escape.
            if (const std::size_t length = utf8Length(text, at)) {
                result.append(text, at, length);
                at += length - 1;
                continue;
            }
        }
        if (controlsOnly && (byte == '\\' || byte == '"')) {
            result += byte;
            continue;
        }
        switch (byte) {
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '\\': result += "\\\\"; break;
        case '"': result += "\\\""; break;
        default:
            if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7f || static_cast<unsigned char>(byte) >= 0x80) {
                static const char hex[] = "0123456789abcdef";
                const auto code = static_cast<unsigned char>(byte);
                result += "\\x";
                result += hex[code >> 4];
                result += hex[code & 15];
            } else {
                result += byte;
            }
        }
    }
    return result;
}

std::string statementWord(const std::string& text) {
    bool bare = !text.empty() && text != "null" && text != "nothing" && text != "default" && text != "->" && text != "prefix" && text != "matching" && text[0] != '#';
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        if (code <= ' ' || byte == '"' || byte == '\\' || code >= 0x7f) bare = false;
    }
    // The tokenizer reads back every escape this writes (valid UTF-8 stays as it is).
    return bare ? text : "\"" + escaped(text) + "\"";
}

bool readStatementWords(const std::string& line, std::vector<statement_word>& tokens, std::string& problem) {
    tokens.clear();
    std::size_t position = 0;
    while (position < line.size()) {
        const char byte = line[position];
        if (isBlank(byte)) {
            ++position;
            continue;
        }
        if (byte == '#') break;
        statement_word word;
        const bool read = byte != '"' ? readBareWord(line, position, word, problem) : readQuotedWord(line, position, word, problem);
        if (!read) return false;
        tokens.push_back(word);
    }
    return true;
}

std::string writeStatement(const std::vector<statement_word>& words) {
    std::string line;
    for (const statement_word& word : words) line += (line.empty() ? "" : " ") + (word.quoted ? "\"" + escaped(word.text) + "\"" : word.text);
    return line;
}

std::string answerWord(const char* text) { return text != nullptr ? statementWord(text) : "null"; }

std::string loadStatement(const std::string& name, const char* text) {
    return "load " + name + " default " + answerWord(text);
}

std::string answerStatement(const std::string& name, const std::string& line, const std::string& word) {
    return "answer " + name + " " + statementWord(line) + " " + word;
}

std::string callStatement(const std::string& name, void* data, int kind, bool dataIsText) {
    const auto wordValue = [](void* pointer) {
        return std::to_string(static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer))));
    };
    switch (kind) {
    case nelk_kind::slotValue: {
        if (data == nullptr) return "raw " + name + " 1 null";
        const slotNotify* record = static_cast<const slotNotify*>(data);
        return "notify " + name + " " + std::to_string(record->device) + " " + std::to_string(record->index) + " " +
               answerWord(record->slotText);
    }
    case nelk_kind::controlEvent: {
        if (data == nullptr) return "raw " + name + " 2 null";
        const buttonNotify* record = static_cast<const buttonNotify*>(data);
        std::string statement = "control " + name + " " + answerWord(record->controlId);
        if (record->command != nullptr) {
            const parsedCommand& command = *record->command;
            const std::string commandName = command.name != nullptr ? command.name : "";
            const std::string value = command.value != nullptr ? command.value : "";
            statement += " " + statementWord(command.hasValue ? commandName + "=" + value : commandName);
        }
        return statement;
    }
    case nelk_kind::commandText: return "command " + name + " " + answerWord(static_cast<const char*>(data));
    case nelk_kind::timerFired: return "timer " + name + " " + wordValue(data);
    case nelk_kind::numberValue: return "number " + name + " " + wordValue(data);
    case nelk_kind::dataPointer:
        return "data " + name + " " + (dataIsText ? answerWord(static_cast<const char*>(data)) : std::string("null"));
    default: {
        const std::intptr_t word = reinterpret_cast<std::intptr_t>(data);
        const bool number = word >= INT32_MIN && word <= INT32_MAX;
        return "raw " + name + " " + std::to_string(kind) + " " + (number ? std::to_string(word) : std::string("null"));
    }
    }
}

}  // namespace nelk_test_kit
