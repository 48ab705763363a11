#include "parsed_command.h"

#include <climits>
#include <cstring>
#include <new>

namespace {
// The one empty text that every unset field points to.
const char emptyText[] = "";
}  // namespace

parsedCommand::parsedCommand(const char* text) { parse(text); }

parsedCommand::~parsedCommand() { delete[] buffer; }

void parsedCommand::parse(const char* text) {
    name = emptyText;
    value = emptyText;
    for (const char*& part : parts) part = emptyText;
    partCount = 0;
    hasValue = false;
    buffer = nullptr;
    if (text == nullptr) return;
    const std::size_t length = std::strlen(text);
    // A text of 2 GB or more is refused as when no memory can be had: the empty record.
    if (length == 0 || length >= static_cast<std::size_t>(INT_MAX)) return;
    buffer = new (std::nothrow) char[length + 1];
    if (buffer == nullptr) return;  // no memory: the empty record
    std::memcpy(buffer, text, length + 1);

    for (std::size_t position = 0; position < length && partCount < 32; ++position) {
        const char byte = buffer[position];
        if (byte != '.' && byte != '=') continue;
        if (name == emptyText) name = buffer;
        buffer[position] = '\0';
        if (byte == '.') {
            parts[partCount++] = buffer + position + 1;
        } else {
            hasValue = true;
            value = buffer + position + 1;
            break;
        }
    }
    if (name == emptyText) name = buffer;
}
