// Where the validator keeps the texts it hands to a component: each in pages of its own, read-only,
// ending right before an inaccessible page, and made inaccessible as a whole when the component
// gives it back. A write, a read past the end, or a touch after the give-back faults at once, in
// the check that caught it. Host's thread only.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "host_rules.h"

namespace nelk_validator {

class guarded_storage : public nelk_test_kit::text_storage {
public:
    guarded_storage() = default;
    ~guarded_storage() override;  // releases every mapping still held
    guarded_storage(const guarded_storage&) = delete;
    guarded_storage& operator=(const guarded_storage&) = delete;

    // Throws std::bad_alloc when no pages can be had.
    char* store(const std::string& text) override;
    void revoke(char* text) override;
    void release(char* text) override;

private:
    struct mapping {
        char* base;
        std::size_t size;
    };
    std::map<const char*, mapping> mappings_;
};

}  // namespace nelk_validator
