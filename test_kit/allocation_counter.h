// Counts calls of the global allocator on this thread while an allocation_counter lives.
#pragma once

class allocation_counter {
public:
    allocation_counter();
    ~allocation_counter();
    allocation_counter(const allocation_counter&) = delete;
    allocation_counter& operator=(const allocation_counter&) = delete;
    int count() const;
    // Size in bytes of the most recent allocation counted.
    unsigned long lastSize() const;
    // While set (on this thread), the nothrow forms of operator new return null; the throwing
    // forms still succeed, so only the code that asks for nothrow memory sees the shortage.
    static void failNothrowAllocations(bool fail);
    // Blocks obtained from the global allocator and not yet released, over the whole process.
    static long long liveBlocks();
};
