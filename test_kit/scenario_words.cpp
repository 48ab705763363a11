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
