// Replaces the global allocator of the test program to count (and optionally refuse) allocations.
#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local int counting = 0;
thread_local int allocations = 0;
thread_local unsigned long lastAllocation = 0;
thread_local bool failing = false;
std::atomic<long long> live{0};

void release(void* block) {
    if (block == nullptr) return;
    live.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

void* allocate(std::size_t size, bool nothrow) {
    if (counting > 0) {
        ++allocations;
        lastAllocation = static_cast<unsigned long>(size);
    }
    void* block = failing && nothrow ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr && !nothrow) throw std::bad_alloc();
    if (block != nullptr) live.fetch_add(1, std::memory_order_relaxed);
    return block;
}
}  // namespace

allocation_counter::allocation_counter() {
    ++counting;
    allocations = 0;
}
allocation_counter::~allocation_counter() { --counting; }
int allocation_counter::count() const { return allocations; }
unsigned long allocation_counter::lastSize() const { return lastAllocation; }
void allocation_counter::failNothrowAllocations(bool fail) { failing = fail; }
long long allocation_counter::liveBlocks() { return live.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) { return allocate(size, false); }
void* operator new[](std::size_t size) { return allocate(size, false); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
