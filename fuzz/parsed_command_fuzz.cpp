// Fuzzes the command path parser and checks its invariants on every input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "parsed_command.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const char* text = input.c_str();  // the parser sees the text up to its first zero byte
    const std::size_t length = std::strlen(text);
    const parsedCommand command(text);

    require(command.partCount >= 0 && command.partCount <= 32);
    require((command.buffer == nullptr) == (length == 0));
    auto inside = [&](const char* pointer) {
        return command.buffer != nullptr && pointer >= command.buffer && pointer <= command.buffer + length;
    };
    // Every field points into the copy or at one shared, zero-terminated empty text.
    const char* empty = nullptr;
    auto valid = [&](const char* pointer) {
        if (inside(pointer)) return;
        require(pointer[0] == '\0');
        if (empty == nullptr) empty = pointer;
        require(pointer == empty);
    };
    valid(command.name);
    valid(command.value);
    for (int i = 0; i < 32; ++i) {
        valid(command.parts[i]);
        if (i >= command.partCount) require(!inside(command.parts[i]));
    }
    // The copy is the text with separators that were taken turned into zero bytes.
    for (std::size_t i = 0; command.buffer != nullptr && i < length; ++i) {
        require(command.buffer[i] == text[i] || (command.buffer[i] == '\0' && (text[i] == '.' || text[i] == '=')));
    }
    if (command.buffer != nullptr) require(command.buffer[length] == '\0');
    // The name is the text before the first '.' or '='; the value follows the first '=' when
    // that comes before the 32nd '.'.
    const std::size_t nameEnd = std::strcspn(text, ".=");
    require(std::string(command.name) == std::string(text, nameEnd));
    const char* equals = std::strchr(text, '=');
    if (!command.hasValue) require(command.value[0] == '\0');
    if (command.hasValue) require(equals != nullptr && std::string(command.value) == std::string(equals + 1));
    if (equals != nullptr && command.partCount < 32) require(command.hasValue);
    return 0;
}
