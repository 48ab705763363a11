// nelk_stringlist: an ordered list of nelk_string items.
#include "nelk_string.h"

// The text as far as its first zero byte, as the list has always read it.
nelk_stringlist::nelk_stringlist(const nelk_string& text, char separator)
    : nelk_stringlist(nelk_stringview(static_cast<const char*>(text)), separator) {}

nelk_stringlist::nelk_stringlist(nelk_stringview text, char separator) {
    if (text.empty()) return;
    // One allocation for all the items, so that long lists cost the same per item as short ones.
    std::size_t pieces = 1;
    for (int at = 0; at < text.length(); ++at) pieces += text.data()[at] == separator ? 1 : 0;
    items_.reserve(pieces);
    for (bool more = true; more;) {
        nelk_stringview item;
        more = text.split(separator, item, text);  // a separator at the very end leaves one empty item
        items_.emplace_back(item);
    }
}

nelk_stringlist::~nelk_stringlist() = default;

nelk_stringlist& nelk_stringlist::operator<<(const nelk_string& item) {
    if (items_.capacity() == 0) items_.reserve(4);  // lists of settings are short: one allocation
    items_.push_back(item);
    return *this;
}

nelk_string nelk_stringlist::toString(char separator) const {
    int size = 0;
    for (const nelk_string& item : items_) size += item.length() + 1;
    nelk_string result;
    result.reserve(size);
    const char separatorText[2] = {separator, '\0'};
    bool first = true;
    for (const nelk_string& item : items_) {
        if (!first) result.append(separatorText, 1);
        result.append(item, item.length());
        first = false;
    }
    return result;
}
