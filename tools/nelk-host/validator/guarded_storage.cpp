#include "guarded_storage.h"

#include <cstring>

namespace nelk_validator {

char* guarded_storage::store(const std::string& text) {
    auto pages = std::make_unique<guarded_pages>(text.size() + 1, "a \"TG\"/\"XI\" answer of the host");
    // The terminator is the last readable byte, so a read past it touches the guard page.
    char* bytes = pages->begin() + pages->size() - (text.size() + 1);
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    pages->seal();
    pages_[bytes] = std::move(pages);
    return bytes;
}

void guarded_storage::revoke(char* text) {
    auto found = pages_.find(text);
    if (found != pages_.end()) found->second->revoke();
}

void guarded_storage::release(char* text) { pages_.erase(text); }

}  // namespace nelk_validator
