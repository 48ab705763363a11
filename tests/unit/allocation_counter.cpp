// Replaces the global allocator of the test program to count (and optionally refuse) allocations.
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local int counting = 0;
thread_local int allocations = 0;
thread_local unsigned long lastAllocation = 0;
thread_local bool failing = false;

void* allocate(std::size_t size, bool nothrow) {
    if (counting > 0) {
        ++allocations;
        lastAllocation = static_cast<unsigned long>(size);
    }
    void* block = failing && nothrow ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr && !nothrow) throw std::bad_alloc();
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

void* operator new(std::size_t size) { return allocate(size, false); }
void* operator new[](std::size_t size) { return allocate(size, false); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
