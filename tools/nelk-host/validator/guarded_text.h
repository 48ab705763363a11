// Texts the validator hands to a component in memory of their own pages, so that a touch after
// the text was given back faults at once instead of reading stale bytes.
#pragma once

#include <cstddef>
#include <string>

namespace nelk_validator {

class guarded_text {
public:
    explicit guarded_text(const std::string& text);
    ~guarded_text();  // releases the pages
    guarded_text(const guarded_text&) = delete;
    guarded_text& operator=(const guarded_text&) = delete;

    const char* pointer() const noexcept { return bytes_; }
    // Makes the pages inaccessible: any later read or write by the component faults.
    void revoke();

private:
    char* bytes_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace nelk_validator
