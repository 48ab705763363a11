#include "guarded_storage.h"

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

char* mapPages(std::size_t size) {
#if defined(_WIN32)
    return static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
#else
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<char*>(mapped);
#endif
}

enum class access { none, read };

void protect(char* base, std::size_t size, access allowed) {
#if defined(_WIN32)
    DWORD previous = 0;
    VirtualProtect(base, size, allowed == access::read ? PAGE_READONLY : PAGE_NOACCESS, &previous);
#else
    mprotect(base, size, allowed == access::read ? PROT_READ : PROT_NONE);
#endif
}

void unmapPages(char* base, std::size_t size) {
#if defined(_WIN32)
    (void)size;
    VirtualFree(base, 0, MEM_RELEASE);
#else
    munmap(base, size);
#endif
}

}  // namespace

guarded_storage::~guarded_storage() {
    for (auto& entry : mappings_) unmapPages(entry.second.base, entry.second.size);
}

char* guarded_storage::store(const std::string& text) {
    const std::size_t page = pageSize();
    const std::size_t data = (text.size() + 1 + page - 1) / page * page;
    const std::size_t size = data + page;  // one inaccessible page after the text
    char* base = mapPages(size);
    if (base == nullptr) throw std::bad_alloc();
    char* bytes = base + data - (text.size() + 1);  // the terminator is the last readable byte
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    protect(base, data, access::read);
    protect(base + data, page, access::none);
    mappings_[bytes] = mapping{base, size};
    return bytes;
}

void guarded_storage::revoke(char* text) {
    auto found = mappings_.find(text);
    if (found != mappings_.end()) protect(found->second.base, found->second.size, access::none);
}

void guarded_storage::release(char* text) {
    auto found = mappings_.find(text);
    if (found == mappings_.end()) return;
    unmapPages(found->second.base, found->second.size);
    mappings_.erase(found);
}

}  // namespace nelk_validator
