// nelk_stringlist: an ordered list of nelk_string items.
#include "nelk_string.h"

nelk_stringlist::nelk_stringlist(const nelk_string& text, char separator) {
    const char* cursor = text;
    if (*cursor == '\0') return;
    // One allocation for all the items, so that long lists cost the same per item as short ones.
    std::size_t pieces = 1;
    for (const char* at = cursor; *at != '\0'; ++at) pieces += *at == separator ? 1 : 0;
    items_.reserve(pieces);
    for (;;) {
        const char* start = cursor;
        while (*cursor != '\0' && *cursor != separator) ++cursor;
        nelk_string item;
        item.append(start, static_cast<int>(cursor - start));
        items_.push_back(std::move(item));
        if (*cursor == '\0') return;
        ++cursor;  // past the separator; a separator at the very end leaves one empty item
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
