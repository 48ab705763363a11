#include "guarded_memory.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "process/process_guard.h"

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

enum class access { none, read, write };

char* mapPages(std::size_t size) {
#if defined(_WIN32)
    return static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
#else
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<char*>(mapped);
#endif
}

void protect(char* base, std::size_t size, access allowed) {
#if defined(_WIN32)
    DWORD previous = 0;
    const DWORD flags = allowed == access::write ? PAGE_READWRITE : allowed == access::read ? PAGE_READONLY : PAGE_NOACCESS;
    VirtualProtect(base, size, flags, &previous);
#else
    mprotect(base, size, allowed == access::write ? PROT_READ | PROT_WRITE : allowed == access::read ? PROT_READ : PROT_NONE);
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

// The registry the crash handler reads: plain words in a fixed table, written only on the host's
// thread before the component can touch the pages.
struct region {
    volatile std::uintptr_t start;
    volatile std::uintptr_t readableEnd;
    volatile std::uintptr_t end;  // guard page included
    const char* volatile label;
    volatile int state;           // access as int; -1: free
};
const int registrySize = 16384;
region registry[registrySize];
std::vector<int>& freeSlots() {
    static std::vector<int> slots = [] {
        std::vector<int> all;
        for (int i = registrySize - 1; i >= 0; --i) {
            registry[i].state = -1;
            all.push_back(i);
        }
        return all;
    }();
    return slots;
}

const region* regionAt(const void* address) noexcept {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (const region& each : registry) {
        if (each.state >= 0 && at >= each.start && at < each.end) return &each;
    }
    return nullptr;
}

char description[512];

// The same regions for the host's own questions, found by address without a scan.
std::map<std::uintptr_t, std::uintptr_t>& activeRegions() {
    static std::map<std::uintptr_t, std::uintptr_t> regions;  // start -> end
    return regions;
}

}  // namespace

guarded_pages::guarded_pages(std::size_t bytes, const char* label) {
    const std::size_t page = pageSize();
    data_ = (bytes + page - 1) / page * page;
    if (data_ == 0) data_ = page;
    total_ = data_ + page;
    base_ = mapPages(total_);
    if (base_ == nullptr) throw std::bad_alloc();
    protect(base_ + data_, page, access::none);
    activeRegions()[reinterpret_cast<std::uintptr_t>(base_)] = reinterpret_cast<std::uintptr_t>(base_) + total_;
    std::vector<int>& slots = freeSlots();
    if (!slots.empty()) {
        slot_ = slots.back();
        slots.pop_back();
        region& entry = registry[slot_];
        entry.start = reinterpret_cast<std::uintptr_t>(base_);
        entry.readableEnd = entry.start + data_;
        entry.end = entry.start + total_;
        entry.label = label;
        entry.state = static_cast<int>(access::write);
    }
}

guarded_pages::~guarded_pages() {
    activeRegions().erase(reinterpret_cast<std::uintptr_t>(base_));
    if (slot_ >= 0) {
        registry[slot_].state = -1;
        freeSlots().push_back(slot_);
    }
    unmapPages(base_, total_);
}

void guarded_pages::seal() {
    protect(base_, data_, access::read);
    if (slot_ >= 0) registry[slot_].state = static_cast<int>(access::read);
}

void guarded_pages::revoke() {
    protect(base_, data_, access::none);
    if (slot_ >= 0) registry[slot_].state = static_cast<int>(access::none);
}

bool isGuarded(const void* address) noexcept {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const auto& regions = activeRegions();
    auto after = regions.upper_bound(at);
    if (after == regions.begin()) return false;
    --after;
    return at < after->second;
}

const char* describeFault(const void* address, bool write) noexcept {
    const region* found = regionAt(address);
    if (found == nullptr) return nullptr;
    using nelk_process_guard::append;
    description[0] = '\0';
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    if (at >= found->readableEnd) {
        append(description, sizeof description, "a read past the end of ");
    } else if (found->state == static_cast<int>(access::none)) {
        append(description, sizeof description, write ? "a write into " : "a read of ");
        append(description, sizeof description, found->label);
        append(description, sizeof description, " after the host took it back");
        return description;
    } else {
        append(description, sizeof description, write ? "a write into " : "an access to ");
    }
    append(description, sizeof description, found->label);
    if (write && at < found->readableEnd) append(description, sizeof description, ", which the host owns (read-only)");
    return description;
}

const char* call_arena::text(const char* text, std::size_t length) {
    char* copy = static_cast<char*>(room(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void* call_arena::room(std::size_t size) {
    const std::size_t alignment = alignof(void*);
    used_ = (used_ + alignment - 1) / alignment * alignment;
    if (used_ + size > pages_.size()) throw std::bad_alloc();
    void* at = pages_.begin() + used_;
    used_ += size;
    return at;
}

void arena_history::keep(std::unique_ptr<call_arena> arena) {
    arenas_.push_back(std::move(arena));
    if (arenas_.size() > 256) arenas_.pop_front();
}

}  // namespace nelk_validator
