#include "no_runtime.h"

// The compiler may call these for copies and zeroing it makes itself; written byte by byte through
// volatile pointers so that it cannot turn them into calls of themselves.
extern "C" {
void* memset(void* target, int value, nelk_word count) {
    volatile unsigned char* bytes = static_cast<unsigned char*>(target);
    for (nelk_word i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(value);
    return target;
}
void* memcpy(void* target, const void* source, nelk_word count) {
    volatile unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    for (nelk_word i = 0; i < count; ++i) to[i] = from[i];
    return target;
}
int _purecall() { ExitProcess(3); }
int _fltused = 0;
}

void* operator new(nelk_word bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes != 0 ? bytes : 1); }
void* operator new[](nelk_word bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes != 0 ? bytes : 1); }
void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, nelk_word) noexcept { operator delete(block); }
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete[](void* block, nelk_word) noexcept { operator delete(block); }

namespace no_runtime {

int length(const char* text) {
    int count = 0;
    while (text != nullptr && text[count] != '\0') ++count;
    return count;
}

void print(const char* text) {
    unsigned long written = 0;
    WriteFile(GetStdHandle(static_cast<unsigned long>(-11)), text, static_cast<unsigned long>(length(text)), &written,
              nullptr);
}

void decimal(char* into, int value) {
    char digits[12];
    int at = 11;
    digits[at] = '\0';
    unsigned rest = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[--at] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0) digits[--at] = '-';
    copy(into, 12, digits + at);
}

bool same(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b;
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

bool startsWith(const char* text, const char* prefix) {
    if (text == nullptr) return false;
    for (; *prefix != '\0'; ++prefix, ++text) {
        if (*text != *prefix) return false;
    }
    return true;
}

void copy(char* into, int room, const char* text) {
    int at = 0;
    for (; text != nullptr && text[at] != '\0' && at + 1 < room; ++at) into[at] = text[at];
    into[at] = '\0';
}

char* duplicate(const char* text) {
    const int size = length(text) + 1;
    char* block = new char[size];
    copy(block, size, text);
    return block;
}

int arguments(const char** words, int most) {
    static char buffer[4096];
    copy(buffer, sizeof buffer, GetCommandLineA());
    int count = -1;  // the program's own name comes first
    char* at = buffer;
    while (*at != '\0') {
        while (*at == ' ' || *at == '\t') ++at;
        if (*at == '\0') break;
        const char end = *at == '"' ? '"' : ' ';
        if (end == '"') ++at;
        char* word = at;
        while (*at != '\0' && *at != end && !(end == ' ' && *at == '\t')) ++at;
        if (*at != '\0') *at++ = '\0';
        if (count >= 0 && count < most) words[count] = word;
        ++count;
    }
    return count < 0 ? 0 : (count < most ? count : most);
}

}  // namespace no_runtime
