#include "scenario_words.h"

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

}  // namespace nelk_test_kit
