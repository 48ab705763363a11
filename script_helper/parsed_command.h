// A command text split once, in place, into a name, up to 32 dotted parts and a value.
#pragma once

#include <cstddef>

// Layout shared with the host, which passes records of this shape inside buttonNotify.
// name, value and every part point into `buffer` or to one shared constant empty text, so all
// are zero-terminated; parts from partCount on are empty. The record owns `buffer` (one block of
// exactly strlen(text) + 1 bytes from the global allocator) and every pointer is valid exactly as
// long as the record. Filled once by its constructor; neither copied nor assigned.
struct parsedCommand {
    const char* name;
    const char* parts[32];
    const char* value;
    int partCount;
    bool hasValue;
    char* buffer;

    // text: zero-terminated or null, read during the call only. Null, empty, no memory for the
    // copy, or a text of 2 GB or more all give the empty record (every text empty, partCount 0,
    // buffer null).
    explicit parsedCommand(const char* text);
    ~parsedCommand();
    parsedCommand(const parsedCommand&) = delete;
    parsedCommand& operator=(const parsedCommand&) = delete;

private:
    void parse(const char* text);
};

// The host's 32-bit layout (148 bytes: value at 132, partCount 136, hasValue 140, buffer 144);
// wider pointers keep the same order with pointer-wide fields.
namespace nelk_layout {
constexpr std::size_t pointer = sizeof(void*);
constexpr std::size_t bufferOffset = (34 * pointer + 5 + pointer - 1) / pointer * pointer;
}  // namespace nelk_layout
static_assert(offsetof(parsedCommand, name) == 0, "name first");
static_assert(offsetof(parsedCommand, parts) == nelk_layout::pointer, "parts follow name");
static_assert(offsetof(parsedCommand, value) == 33 * nelk_layout::pointer, "value after 32 parts");
static_assert(offsetof(parsedCommand, partCount) == 34 * nelk_layout::pointer, "partCount after value");
static_assert(offsetof(parsedCommand, hasValue) == 34 * nelk_layout::pointer + 4, "hasValue after partCount");
static_assert(offsetof(parsedCommand, buffer) == nelk_layout::bufferOffset, "buffer last");
static_assert(sizeof(parsedCommand) == nelk_layout::bufferOffset + nelk_layout::pointer, "nothing after buffer");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(parsedCommand) == 148, "host's 32-bit record is 148 bytes");
static_assert(offsetof(parsedCommand, value) == 132, "value at 132");
static_assert(offsetof(parsedCommand, partCount) == 136, "partCount at 136");
static_assert(offsetof(parsedCommand, hasValue) == 140, "hasValue at 140");
static_assert(offsetof(parsedCommand, buffer) == 144, "buffer at 144");
#endif
