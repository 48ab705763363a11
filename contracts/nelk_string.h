// The text and text-list types that every component and the framework use.
//
// Ownership: a nelk_string owns its bytes and copies whatever it is given; a C text passed in is
// read during the call only. The pointer from `operator const char*` belongs to the string and
// stays valid until the string is changed or destroyed. A nelk_stringview owns nothing.
// Threads: no shared state; distinct objects may be used from distinct threads, one object from
// one thread at a time.
// A null C text, wherever one is accepted, is the empty text.
#pragma once

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#if defined(NELK_STRING_BUILDING)
#define NELK_STRING_API __declspec(dllexport)
#else
#define NELK_STRING_API __declspec(dllimport)
#endif
#else
#define NELK_STRING_API __attribute__((visibility("default")))
#endif

class nelk_string;

// Texts are at most INT_MAX - 1 bytes, as every length here is an int. A longer C text is
// refused with std::length_error (as std::string refuses what it cannot hold) rather than taken
// cut short. The framework turns that into an ignored event at its boundary with the host.
#if defined(__GNUC__)
#define NELK_COLD __attribute__((cold))
#else
#define NELK_COLD
#endif
[[noreturn]] NELK_STRING_API NELK_COLD void nelk_refuseLongText();
// The length of a zero-terminated C text; throws std::length_error for 2 GB or more.
inline int nelk_textLength(const char* text) {
    const std::size_t length = std::strlen(text);
    if (length >= static_cast<std::size_t>(INT_MAX)) nelk_refuseLongText();
    return static_cast<int>(length);
}

// Bytes that someone else owns, read in place: a pointer and a length, not necessarily followed
// by a zero byte. Valid only as long as those bytes are, and used where they may be read; it
// never copies or releases them. For passing texts that are only read (host records, parts of
// an answer, literals) without a copy.
class nelk_stringview {
public:
    constexpr nelk_stringview() noexcept : bytes_(""), length_(0) {}
    // A C text (null is the empty text), its length counted here; for a literal, by the
    // compiler. Explicit, so that a literal never makes a call ambiguous between an operation's
    // nelk_string form and its view form. Throws std::length_error for a text of 2 GB or more.
    constexpr explicit nelk_stringview(const char* text)
        : bytes_(text != nullptr ? text : ""), length_(text != nullptr ? lengthOf(text) : 0) {}
    // `length` bytes at `bytes`, which must not be null.
    constexpr nelk_stringview(const char* bytes, int length) noexcept : bytes_(bytes), length_(length) {}
    // The bytes of a string, valid until the string changes or dies.
    nelk_stringview(const nelk_string& text) noexcept;  // NOLINT: implicit, as a string is a text

    constexpr const char* data() const noexcept { return bytes_; }
    constexpr int length() const noexcept { return length_; }
    constexpr bool empty() const noexcept { return length_ == 0; }

    // As nelk_string::toInt and firstInt, over exactly these bytes. Inline, like split, as the
    // framework reads every answer of the host with them.
    int toInt() const noexcept {
        const char* cursor = bytes_;
        const char* const end = bytes_ + length_;
        while (cursor < end && *cursor == ' ') ++cursor;
        bool negative = false;
        if (cursor < end && (*cursor == '-' || *cursor == '+')) negative = *cursor++ == '-';
        return readDigits(cursor, end, negative);
    }
    int firstInt() const noexcept {
        for (int position = 0; position < length_; ++position) {
            if (isDigit(bytes_[position])) {
                return readDigits(bytes_ + position, bytes_ + length_, position > 0 && bytes_[position - 1] == '-');
            }
        }
        return 0;
    }
    // Splits at the first `separator`: left gets the bytes before it, right those after it; both
    // are views of these bytes. Without one, left is the whole text and right is empty, and the
    // result is false. `left` or `right` may be *this.
    bool split(char separator, nelk_stringview& left, nelk_stringview& right) const noexcept {
        const char* const bytes = bytes_;  // left or right may be this view
        const int length = length_;
        for (int at = 0; at < length; ++at) {
            if (bytes[at] == separator) {
                left = nelk_stringview(bytes, at);
                right = nelk_stringview(bytes + at + 1, length - at - 1);
                return true;
            }
        }
        left = nelk_stringview(bytes, length);
        right = nelk_stringview();
        return false;
    }

private:
    // A literal's length, counted by the compiler; a longer text than an int holds is refused.
    static constexpr int lengthOf(const char* text) {
        const std::size_t length = std::char_traits<char>::length(text);
        if (length >= static_cast<std::size_t>(INT_MAX)) nelk_refuseLongText();
        return static_cast<int>(length);
    }
    static constexpr bool isDigit(char byte) noexcept { return byte >= '0' && byte <= '9'; }
    // The decimal digits from `text` up to `end` as an int that saturates at the int range;
    // `negative` applies the sign.
    static int readDigits(const char* text, const char* end, bool negative) noexcept {
        long long magnitude = 0;
        const long long limit = negative ? 2147483648LL : 2147483647LL;
        for (; text < end && isDigit(*text); ++text) {
            magnitude = magnitude * 10 + (*text - '0');
            if (magnitude > limit) return negative ? -2147483647 - 1 : 2147483647;
        }
        return static_cast<int>(negative ? -magnitude : magnitude);
    }

    const char* bytes_;
    int length_;
};

// The building aids below touch only the bytes they are given, which the caller owns for the
// call; no state, any thread.

// Copies `count` bytes (0 to 16) from `from` to `to`, which may overlap, as memmove does: two
// copies of a power of two that cover the count, both read before either is written.
inline void nelk_moveShortBytes(char* to, const char* from, int count) noexcept {
    if (count >= 8) {
        char head[8];
        char tail[8];
        std::memcpy(head, from, 8);
        std::memcpy(tail, from + count - 8, 8);
        std::memcpy(to, head, 8);
        std::memcpy(to + count - 8, tail, 8);
    } else if (count >= 4) {
        char head[4];
        char tail[4];
        std::memcpy(head, from, 4);
        std::memcpy(tail, from + count - 4, 4);
        std::memcpy(to, head, 4);
        std::memcpy(to + count - 4, tail, 4);
    } else if (count >= 2) {
        const char first = from[0];
        const char second = from[1];
        const char last = from[count - 1];
        to[0] = first;
        to[1] = second;
        to[count - 1] = last;
    } else if (count == 1) {
        to[0] = from[0];
    }
}

// Copies `count` bytes from `from` to `to`, which may overlap, as memmove does; up to 32 bytes
// without a call, since most texts of a panel are that short. Inline, like the short form, as
// the framework joins its command lines with them too.
inline void nelk_moveBytes(char* to, const char* from, int count) noexcept {
    if (count > 32) {
        std::memmove(to, from, static_cast<std::size_t>(count));
    } else if (count > 16) {
        char head[16];
        char tail[16];
        std::memcpy(head, from, 16);
        std::memcpy(tail, from + count - 16, 16);
        std::memcpy(to, head, 16);
        std::memcpy(to + count - 16, tail, 16);
    } else {
        nelk_moveShortBytes(to, from, count);
    }
}

// Writes `value` at `out` in `base` (2 to 36, else 10): '-' for a negative value, then the
// digits, letters from 'a' on above 9; at most 33 bytes, no terminator. Returns the end.
// Inline, as command lines write their numbers with it too.
inline char* nelk_writeNumber(char* out, int value, int base) noexcept {
    char reversed[33];
    int count = 0;
    // The magnitude as unsigned, where the smallest int fits too.
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    if (base == 10 || base < 2 || base > 36) {
        // The common case on its own, where the division by a constant is a multiplication.
        do {
            reversed[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
    } else {
        const unsigned radix = static_cast<unsigned>(base);
        do {
            reversed[count++] = "0123456789abcdefghijklmnopqrstuvwxyz"[magnitude % radix];
            magnitude /= radix;
        } while (magnitude != 0);
    }
    if (value < 0) *out++ = '-';
    while (count > 0) *out++ = reversed[--count];
    return out;
}

// Texts of up to 47 bytes live inside the object; longer ones on the heap, which only the
// library's own code allocates and releases. Every slot text, setting and answer of a typical
// panel fits inside, so building them allocates nothing (docs/performance.md has the figures).
// Making, copying and destroying a text that fits, and appending within the room it has, are
// inline: they call nothing in the library.
class NELK_STRING_API nelk_string {
public:
    nelk_string() noexcept : data_(inline_), length_(0), capacity_(inlineCapacity) { inline_[0] = '\0'; }
    nelk_string(const char* text) : nelk_string() {  // NOLINT: implicit on purpose, components pass literals
        // The empty text, common as a load text or an answer, without a call of strlen.
        if (text != nullptr && text[0] != '\0') assign(text, nelk_textLength(text));
    }
    nelk_string(const nelk_string& other) : nelk_string() { assign(other.data_, other.length_); }
    nelk_string(nelk_string&& other) noexcept : nelk_string() { take(other); }
    // A copy of the view's bytes.
    explicit nelk_string(nelk_stringview text) : nelk_string() { assign(text.data(), text.length()); }
    // The integer written in `base` (2 to 36, else 10); padded with `fill` (a zero byte pads with
    // spaces) on the left up to `width`, or on the right for a negative width.
    nelk_string(int value, char fill, int width, int base);
    virtual ~nelk_string() {
        if (data_ != inline_) release(data_);
    }

    nelk_string& operator=(const nelk_string& other) {
        if (this != &other) assign(other.data_, other.length_);
        return *this;
    }
    nelk_string& operator=(nelk_string&& other) noexcept {
        if (this != &other) take(other);
        return *this;
    }
    nelk_string& operator=(const char* text) {
        if (text == nullptr) text = "";
        assign(text, nelk_textLength(text));
        return *this;
    }
    nelk_string& operator+=(const nelk_string& tail) {
        append(tail.data_, tail.length_);
        return *this;
    }
    nelk_string& operator+=(const char* tail) {
        if (tail != nullptr) append(tail, nelk_textLength(tail));
        return *this;
    }

    // Zero-terminated view of the bytes; owned by the string, valid until it next changes.
    operator const char*() const noexcept { return data_; }  // NOLINT: implicit by contract
    int length() const noexcept { return length_; }

    // Optional leading spaces, an optional sign, then decimal digits up to the first other byte.
    // No digits gives 0; values outside 32 bits saturate to INT_MAX / INT_MIN.
    int toInt() const noexcept { return nelk_stringview(data_, length_).toInt(); }
    // The first run of decimal digits anywhere, negative when a '-' stands right before it.
    // No digits gives 0; saturates like toInt.
    int firstInt() const noexcept { return nelk_stringview(data_, length_).firstInt(); }
    // Splits at the first `separator`: left gets what is before it, right what follows.
    // Without one, left is the whole text and right is empty. `left` or `right` may be *this.
    void split(char separator, nelk_string& left, nelk_string& right) const;

    // A copy with every occurrence of the lowest-numbered marker ("%1" to "%99") still present
    // replaced by `text`; the inserted text is not scanned again. No marker: an unchanged copy.
    nelk_string arg(const nelk_string& text) const;
    nelk_string arg(int value, char fill, int width, int base) const;
    // Fills the `count` lowest-numbered distinct markers, in rising order, with texts[0] to
    // texts[count - 1] in one pass, so markers inside the inserted texts stay as they are.
    // texts: `count` pointers read during the call only.
    nelk_string argEach(const nelk_string* const* texts, int count) const;

    // Building aids: room for `capacity` bytes; `count` bytes put in place of the text, or
    // appended to it (they may lie inside this string).
    void reserve(int capacity);
    void assign(const char* bytes, int count) {
        if (bytes == nullptr || count < 0) count = 0;
        if (count <= capacity_) {
            nelk_moveBytes(data_, bytes, count);
            data_[count] = '\0';
            length_ = count;
        } else {
            assignGrowing(bytes, count);
        }
    }
    void append(const char* bytes, int count) {
        if (bytes == nullptr || count <= 0) return;
        if (count <= capacity_ - length_) {
            nelk_moveBytes(data_ + length_, bytes, count);
            length_ += count;
            data_[length_] = '\0';
        } else {
            appendGrowing(bytes, count);
        }
    }

private:
    static constexpr int inlineCapacity = 47;  // bytes held inside, besides the terminator

    // Takes the other's bytes, its heap block when it has one; leaves it empty.
    void take(nelk_string& other) noexcept {
        if (other.data_ == other.inline_) {
            // Inline bytes always fit, since every string holds at least the inline capacity.
            std::memcpy(data_, other.data_, static_cast<std::size_t>(other.length_) + 1);
            length_ = other.length_;
        } else {
            if (data_ != inline_) release(data_);
            data_ = other.data_;
            length_ = other.length_;
            capacity_ = other.capacity_;
            other.data_ = other.inline_;
            other.capacity_ = inlineCapacity;
        }
        other.length_ = 0;
        other.data_[0] = '\0';
    }
    // Gives a heap block back to the library that allocated it.
    static void release(char* block) noexcept;
    void assignGrowing(const char* bytes, int count);
    void appendGrowing(const char* bytes, int count);

    char* data_;     // inline_ or a heap block of capacity_ + 1 bytes
    int length_;
    int capacity_;
    char inline_[inlineCapacity + 1];
};

NELK_STRING_API nelk_string operator+(const nelk_string& left, const nelk_string& right);
NELK_STRING_API nelk_string operator+(const nelk_string& left, const char* right);
NELK_STRING_API nelk_string operator+(const char* left, const nelk_string& right);
// A temporary on the left is extended in place, so a chain of + copies its left side once.
NELK_STRING_API nelk_string operator+(nelk_string&& left, const nelk_string& right);
NELK_STRING_API nelk_string operator+(nelk_string&& left, const char* right);

// Exact byte comparison: case matters, nothing is trimmed; a null C text equals the empty text.
// strncmp stops at the right text's end, so a long right text is never scanned whole.
inline bool operator==(const nelk_string& left, const char* right) noexcept {
    if (right == nullptr) return left.length() == 0;
    const std::size_t size = static_cast<std::size_t>(left.length());
    return std::strncmp(static_cast<const char*>(left), right, size) == 0 && right[size] == '\0';
}
inline bool operator==(const nelk_string& left, const nelk_string& right) noexcept {
    return left.length() == right.length() &&
           std::memcmp(static_cast<const char*>(left), static_cast<const char*>(right),
                       static_cast<std::size_t>(left.length())) == 0;
}
inline bool operator!=(const nelk_string& left, const char* right) noexcept { return !(left == right); }
inline bool operator!=(const nelk_string& left, const nelk_string& right) noexcept { return !(left == right); }

inline nelk_stringview::nelk_stringview(const nelk_string& text) noexcept
    : bytes_(static_cast<const char*>(text)), length_(text.length()) {}

// The same exact comparisons for views: the bytes and the length, nothing else.
inline bool operator==(nelk_stringview left, nelk_stringview right) noexcept {
    return left.length() == right.length() &&
           (left.length() == 0 ||
            std::memcmp(left.data(), right.data(), static_cast<std::size_t>(left.length())) == 0);
}
inline bool operator==(nelk_stringview left, const char* right) noexcept { return left == nelk_stringview(right); }
inline bool operator!=(nelk_stringview left, nelk_stringview right) noexcept { return !(left == right); }
inline bool operator!=(nelk_stringview left, const char* right) noexcept { return !(left == right); }

class nelk_stringlist;

// Walks the items of a nelk_stringlist; valid while the list lives and is not changed.
class NELK_STRING_API nelk_stringlistIterator {
public:
    explicit nelk_stringlistIterator(const nelk_string* item) noexcept : item_(item) {}
    const nelk_string& operator*() const noexcept { return *item_; }
    nelk_stringlistIterator& operator++() noexcept { ++item_; return *this; }
    bool operator!=(const nelk_stringlistIterator& other) const noexcept { return item_ != other.item_; }
    bool operator==(const nelk_stringlistIterator& other) const noexcept { return item_ == other.item_; }

private:
    const nelk_string* item_;
};

// An ordered list of texts; owns copies of its items.
class NELK_STRING_API nelk_stringlist {
public:
    nelk_stringlist() noexcept = default;
    nelk_stringlist(const nelk_stringlist& other) = default;
    nelk_stringlist(nelk_stringlist&& other) noexcept = default;
    // Every piece between separators is an item, empty ones included, nothing trimmed;
    // the empty text gives no items at all. The text is read during the call only.
    nelk_stringlist(const nelk_string& text, char separator);
    explicit nelk_stringlist(nelk_stringview text, char separator);
    virtual ~nelk_stringlist();

    nelk_stringlist& operator=(const nelk_stringlist& other) = default;
    nelk_stringlist& operator=(nelk_stringlist&& other) noexcept = default;

    // Appends a copy of `item`; returns the list for chaining.
    nelk_stringlist& operator<<(const nelk_string& item);
    // The items joined by `separator`, nothing before the first or after the last.
    nelk_string toString(char separator) const;
    int count() const noexcept { return static_cast<int>(items_.size()); }

    nelk_stringlistIterator begin() const noexcept { return nelk_stringlistIterator(items_.data()); }
    nelk_stringlistIterator end() const noexcept { return nelk_stringlistIterator(items_.data() + items_.size()); }

private:
    std::vector<nelk_string> items_;
};
