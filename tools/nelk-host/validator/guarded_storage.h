// Where the validator keeps the texts it answers "TG" and "XI" with: each in guarded pages of its
// own (guarded_memory.h), read-only and ending right before an inaccessible page, and made
// inaccessible as a whole when the component gives it back. A write, a read past the end, or a
// touch after the give-back faults at once. Host's thread only.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "guarded_memory.h"
#include "host_rules.h"

namespace nelk_validator {

class guarded_storage : public nelk_test_kit::text_storage {
public:
    // Throws std::bad_alloc when no pages can be had.
    char* store(const std::string& text) override;
    void revoke(char* text) override;
    void release(char* text) override;

private:
    std::map<const char*, std::unique_ptr<guarded_pages>> pages_;
};

}  // namespace nelk_validator
