// The inline part of nelk_script_helper.h: how the framework joins host command lines and sends
// them, compiled into the component's own code so that constant texts are copied with their
// lengths known (docs/performance.md). Included by nelk_script_helper.h; not an interface of its
// own, and not for components to call. Everything here runs on the host's thread, inside the
// call that sends the line.
//
// A line is written as the list of its pieces, each a literal or a view (a nelk_string or a
// decimal passes as a view). The joining is inline, so that every literal is copied with its
// length known to the compiler, as a hand-written line would be; a C text that is not a literal
// must be made a view (nelk_stringview(text)) first.
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>

#include "nelk_host.h"
#include "nelk_protocol.h"
#include "nelk_string.h"

// For the operations whose lines are joined in the caller: inlined even where the compiler's
// own limits would decline, so that a constant text's length is known where it is copied.
#if defined(__GNUC__)
#define NELK_JOINED_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define NELK_JOINED_INLINE __forceinline
#else
#define NELK_JOINED_INLINE inline
#endif

namespace nelk_command_line {

// A signed decimal number as a piece, written when it is made; it lives to the end of the
// statement that builds the line, like any temporary.
class decimal {
public:
    explicit decimal(int value) noexcept
        : length_(static_cast<int>(nelk_writeNumber(digits_, value, 10) - digits_)) {}
    const char* data() const noexcept { return digits_; }
    int length() const noexcept { return length_; }  // at most 11
    operator nelk_stringview() const noexcept { return nelk_stringview(digits_, length_); }  // NOLINT: a text

private:
    char digits_[12];
    int length_;
};

// The length of a piece, and its copy at `out` (returning the end). A char array is taken for a
// literal, all its bytes but the terminating zero, so a buffer must be passed as a view.
template <std::size_t N> constexpr int lengthOf(const char (&)[N]) noexcept { return static_cast<int>(N - 1); }
inline int lengthOf(nelk_stringview text) noexcept { return text.length(); }
inline int lengthOf(const decimal& number) noexcept { return number.length(); }
template <std::size_t N> inline char* put(char* out, const char (&literal)[N]) noexcept {
    std::memcpy(out, literal, N - 1);
    return out + (N - 1);
}
inline char* put(char* out, nelk_stringview text) noexcept {
    nelk_moveBytes(out, text.data(), text.length());
    return out + text.length();
}
inline char* put(char* out, const decimal& number) noexcept {
    nelk_moveShortBytes(out, number.data(), number.length());
    return out + number.length();
}

// Bytes joined from pieces, kept zero-terminated: up to Room - 1 bytes inside the object, more
// in one heap block that it keeps until it dies. Neither copied nor moved.
template <int Room> class text_buffer {
public:
    text_buffer() noexcept { room_[0] = '\0'; }
    ~text_buffer() {
        if (data_ != room_) delete[] data_;
    }
    text_buffer(const text_buffer&) = delete;
    text_buffer& operator=(const text_buffer&) = delete;

    // Appends the pieces in order; they must not lie inside this buffer.
    template <typename... Pieces> void append(const Pieces&... pieces) {
        // Qualified, so that a component's own global put or lengthOf is never taken instead
        // (the views live in the global namespace, where argument-dependent lookup would look).
        const long long size = length_ + (0LL + ... + static_cast<long long>(nelk_command_line::lengthOf(pieces)));
        if (size > capacity_) grow(size);
        char* end = data_ + length_;
        ((end = nelk_command_line::put(end, pieces)), ...);
        *end = '\0';
        length_ = static_cast<int>(size);
    }
    // Back to the first `length` bytes (no more than there are); the room stays.
    void cut(int length) noexcept {
        if (length < length_) length_ = length;
        data_[length_] = '\0';
    }
    const char* text() const noexcept { return data_; }
    int length() const noexcept { return length_; }
    nelk_stringview view() const noexcept { return nelk_stringview(data_, length_); }

private:
    // Room for `size` bytes, and at least twice the room there was, so that a line sent for
    // many controls grows rarely and a long answer is copied into a block of its own size; the
    // bytes so far are kept.
    void grow(long long size);

    char* data_ = room_;
    int length_ = 0;
    int capacity_ = Room - 1;  // besides the terminator
    char room_[Room];          // only what is in use is written
};

// A command line: every line of the protocol fits inside but one with a long text.
using line = text_buffer<256>;
// A copy of a host's answer: the control list of a panel with a few hundred controls fits inside.
using answer_copy = text_buffer<4096>;

// Lines that address a control come in two halves, so that one command can be sent to many
// controls with its head joined once: head, then the control and the tail.
// "TP 'property=value' 'panel' 'control'"
template <typename Value>  // a view or a decimal
void textPutHead(line& command, nelk_stringview property, const Value& value, nelk_stringview panel) {
    command.append("TP '", property, "=", value, "' '", panel, "' '");
}
inline void textPutTail(line& command, nelk_stringview control) { command.append(control, "'"); }
// "TG 'panel' 'control' 'property'"
inline void textGetHead(line& command, nelk_stringview panel) { command.append("TG '", panel, "' '"); }
inline void textGetTail(line& command, nelk_stringview control, nelk_stringview property) {
    command.append(control, "' '", property, "'");
}
// "XI 'panel' 'filter'"; both texts placed in one pass, so a "%2" inside the panel stays.
inline void controlListLine(line& command, nelk_stringview panel, nelk_stringview filter) {
    command.append("XI '", panel, "' '", filter, "'");
}

// Sends `text` as a command line when there is a host; returns the host's answer, null without one.
inline void* send(nelk_host* host, const char* text) {
    return host != nullptr ? host->hostSend(text, nelk_send::commandLine) : nullptr;
}

// Sends a line that the host answers with a text of its own ("TG", "XI"): hands the answer and
// its length to `read`, which copies what it needs, then gives the text back at once. False,
// and nothing read, without a host, for a null answer, and for an answer of 2 GB or more (which
// is given back unread). The text goes back also when `read` throws (no memory for a copy).
template <typename Read> NELK_JOINED_INLINE bool ask(nelk_host* host, const char* text, Read&& read) {
    const char* answer = static_cast<const char*>(nelk_command_line::send(host, text));
    if (answer == nullptr) return false;
    struct give_back {
        nelk_host* host;
        const char* answer;
        ~give_back() { host->hostSend(answer, nelk_send::giveBack); }
    } back{host, answer};
    const std::size_t length = std::strlen(answer);
    if (length >= static_cast<std::size_t>(INT_MAX)) return false;
    read(nelk_stringview(answer, static_cast<int>(length)));
    return true;
}

// Where a "TG" line asks: the property, on which panel and control.
struct property_address {
    nelk_stringview property;
    nelk_stringview panel;
    nelk_stringview control;
};

// Writes the "textGet:" trace for `answer`, which names another property than `address` asks for.
void traceMismatch(const nelk_string& answer, const property_address& address);

// The value in a host's answer of `length` bytes, as a view into it, when the answer's name
// (the text before its first '=', the whole answer when it has none) is exactly `property`;
// false when it is another name.
inline bool valueFor(const char* answer, int length, nelk_stringview property, nelk_stringview& value) noexcept {
    const int size = property.length();
    if (size > length) return false;
    // The answer holds no zero byte before `length`, so the property's bytes match only when
    // they are the answer's and none is '=' (which would end the answer's name early).
    for (int at = 0; at < size; ++at) {
        if (answer[at] != property.data()[at] || answer[at] == '=') return false;
    }
    if (size == length) {
        value = nelk_stringview(answer + size, 0);
        return true;
    }
    if (answer[size] != '=') return false;
    value = nelk_stringview(answer + size + 1, length - size - 1);
    return true;
}

// Sends the "TG" line `line` and assigns to `result` the value the answer gives for
// `address.property` (the whole answer for "all"), or the empty text: without a host, for a null
// answer, and for an answer for another property, which is traced. The host's text is read in
// place and given back at once; only the value is copied (the whole answer only for the trace).
// `result` may be one of the texts `address` shows, so it is written last.
NELK_JOINED_INLINE void readProperty(nelk_host* host, const char* line, const property_address& address, nelk_string& result) {
    bool matched = true;
    nelk_string other;
    const bool answered = nelk_command_line::ask(host, line, [&](nelk_stringview whole) {
        nelk_stringview value = whole;
        if (address.property == "all" ||
            nelk_command_line::valueFor(whole.data(), whole.length(), address.property, value)) {
            result.assign(value.data(), value.length());
        } else {
            other.assign(whole.data(), whole.length());
            matched = false;
        }
    });
    if (answered && matched) return;
    if (!matched) nelk_command_line::traceMismatch(other, address);
    result.assign("", 0);
}

}  // namespace nelk_command_line
