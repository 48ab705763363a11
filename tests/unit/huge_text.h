// A zero-terminated text of any length up to many gigabytes that costs a megabyte of memory: one
// block of 'a's mapped again and again, then one that holds the terminator. Read-only; Linux
// 64-bit only (elsewhere made() is false). Lives until destroyed.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
#include <sys/mman.h>
#include <unistd.h>
#define NELK_HUGE_TEXTS 1
#endif

class huge_text {
public:
    explicit huge_text(std::size_t length) : length_(length) {
#if defined(NELK_HUGE_TEXTS)
        const std::size_t block = 1 << 20;
        const std::size_t blocks = length / block + 1;
        size_ = blocks * block;
        void* reserved = mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (reserved == MAP_FAILED) return;
        base_ = static_cast<char*>(reserved);
        const int letters = filled(block, block);
        const int last = filled(block, length % block);  // its byte at length % block is the terminator
        if (letters < 0 || last < 0) return;
        for (std::size_t i = 0; i < blocks; ++i) {
            const int from = i + 1 < blocks ? letters : last;
            if (mmap(base_ + i * block, block, PROT_READ, MAP_SHARED | MAP_FIXED, from, 0) == MAP_FAILED) return;
        }
        close(letters);
        close(last);
        made_ = true;
#endif
    }
    ~huge_text() {
#if defined(NELK_HUGE_TEXTS)
        if (base_ != nullptr) munmap(base_, size_);
#endif
    }
    huge_text(const huge_text&) = delete;
    huge_text& operator=(const huge_text&) = delete;

    bool made() const noexcept { return made_; }
    const char* text() const noexcept { return base_; }
    std::size_t length() const noexcept { return length_; }

private:
#if defined(NELK_HUGE_TEXTS)
    // A block of `size` bytes in memory of its own: 'a' but a zero at `zeroAt` (none when past it).
    static int filled(std::size_t size, std::size_t zeroAt) {
        const int file = memfd_create("huge_text", 0);
        if (file < 0 || ftruncate(file, static_cast<off_t>(size)) != 0) return -1;
        void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
        if (bytes == MAP_FAILED) return -1;
        std::memset(bytes, 'a', size);
        if (zeroAt < size) static_cast<char*>(bytes)[zeroAt] = '\0';
        munmap(bytes, size);
        return file;
    }
#endif
    std::size_t length_;
    std::size_t size_ = 0;
    char* base_ = nullptr;
    bool made_ = false;
};
