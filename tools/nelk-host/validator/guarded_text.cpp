#include "guarded_text.h"

#include <cstring>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace nelk_validator {

namespace {
std::size_t pageSize() {
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}
}  // namespace

guarded_text::guarded_text(const std::string& text) {
    const std::size_t page = pageSize();
    size_ = (text.size() + 1 + page - 1) / page * page;
#if defined(_WIN32)
    bytes_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
#else
    void* mapped = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    bytes_ = mapped == MAP_FAILED ? nullptr : static_cast<char*>(mapped);
#endif
    if (bytes_ == nullptr) throw std::bad_alloc();
    std::memcpy(bytes_, text.c_str(), text.size() + 1);
}

guarded_text::~guarded_text() {
#if defined(_WIN32)
    VirtualFree(bytes_, 0, MEM_RELEASE);
#else
    munmap(bytes_, size_);
#endif
}

void guarded_text::revoke() {
#if defined(_WIN32)
    DWORD previous = 0;
    VirtualProtect(bytes_, size_, PAGE_NOACCESS, &previous);
#else
    mprotect(bytes_, size_, PROT_NONE);
#endif
}

}  // namespace nelk_validator
