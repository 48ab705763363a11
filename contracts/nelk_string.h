// The text and text-list types that every component and the framework use.
//
// Ownership: a nelk_string owns its bytes and copies whatever it is given; a C text passed in is
// read during the call only. The pointer from `operator const char*` belongs to the string and
// stays valid until the string is changed or destroyed.
// Threads: no shared state; distinct objects may be used from distinct threads, one object from
// one thread at a time.
// A null C text, wherever one is accepted, is the empty text.
#pragma once

#include <cstring>
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

// Texts of up to 47 bytes live inside the object; longer ones on the heap, which only the
// library's own code allocates and releases. Every slot text, setting and answer of a typical
// panel fits inside, so building them allocates nothing (docs/performance.md has the figures).
class NELK_STRING_API nelk_string {
public:
    nelk_string() noexcept : data_(inline_), length_(0), capacity_(inlineCapacity) { inline_[0] = '\0'; }
    nelk_string(const char* text) : nelk_string() {  // NOLINT: implicit on purpose, components pass literals
        if (text != nullptr) assignBytes(text, static_cast<int>(std::strlen(text)));
    }
    nelk_string(const nelk_string& other) : nelk_string() { assignBytes(other.data_, other.length_); }
    nelk_string(nelk_string&& other) noexcept : nelk_string() { take(other); }
    // The integer written in `base` (2 to 36, else 10); padded with `fill` (a zero byte pads with
    // spaces) on the left up to `width`, or on the right for a negative width.
    nelk_string(int value, char fill, int width, int base);
    virtual ~nelk_string();

    nelk_string& operator=(const nelk_string& other) {
        if (this != &other) assignBytes(other.data_, other.length_);
        return *this;
    }
    nelk_string& operator=(nelk_string&& other) noexcept {
        if (this != &other) take(other);
        return *this;
    }
    nelk_string& operator=(const char* text) {
        if (text == nullptr) text = "";
        assignBytes(text, static_cast<int>(std::strlen(text)));
        return *this;
    }
    nelk_string& operator+=(const nelk_string& tail) {
        append(tail.data_, tail.length_);
        return *this;
    }
    nelk_string& operator+=(const char* tail) {
        if (tail != nullptr) append(tail, static_cast<int>(std::strlen(tail)));
        return *this;
    }

    // Zero-terminated view of the bytes; owned by the string, valid until it next changes.
    operator const char*() const noexcept { return data_; }  // NOLINT: implicit by contract
    int length() const noexcept { return length_; }

    // Optional leading spaces, an optional sign, then decimal digits up to the first other byte.
    // No digits gives 0; values outside 32 bits saturate to INT_MAX / INT_MIN.
    int toInt() const noexcept;
    // The first run of decimal digits anywhere, negative when a '-' stands right before it.
    // No digits gives 0; saturates like toInt.
    int firstInt() const noexcept;
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

    // Building aids: room for `capacity` bytes, and `count` bytes appended (they may lie
    // inside this string).
    void reserve(int capacity);
    void append(const char* bytes, int count) {
        if (bytes == nullptr || count <= 0) return;
        if (count <= capacity_ - length_) {
            std::memmove(data_ + length_, bytes, static_cast<std::size_t>(count));
            length_ += count;
            data_[length_] = '\0';
        } else {
            appendGrowing(bytes, count);
        }
    }

private:
    static constexpr int inlineCapacity = 47;  // bytes held inside, besides the terminator

    void assignBytes(const char* bytes, int count) {
        if (count <= capacity_) {
            std::memmove(data_, bytes, static_cast<std::size_t>(count));
            data_[count] = '\0';
            length_ = count;
        } else {
            assignGrowing(bytes, count);
        }
    }
    // Takes the other's bytes, its heap block when it has one; leaves it empty.
    void take(nelk_string& other) noexcept;
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
    // the empty text gives no items at all.
    nelk_stringlist(const nelk_string& text, char separator);
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
