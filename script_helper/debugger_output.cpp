#include "debugger_output.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

namespace nelk_debugger_output {

void write(const char* text) {
#if defined(_WIN32)
    OutputDebugStringA(text);
#else
    // One write; the loop only finishes a write that the system cut short.
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(2, text, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text += written;
        left -= static_cast<std::size_t>(written);
    }
#endif
}

void trace(const nelk_string& format, const nelk_string* const* texts, int count) {
    const nelk_string message = format.argEach(texts, count);
    write(message);
}

}  // namespace nelk_debugger_output
