// NELK_SANITIZED is defined when this code is built with AddressSanitizer (GCC or clang), whose
// allocator the validator then asks instead of the C library's, and leaves unperturbed.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define NELK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NELK_SANITIZED 1
#endif
#endif
