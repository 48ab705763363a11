// Broken on purpose: maps a page for every timer's work and never unmaps it.
#include <sys/mman.h>

#include "broken_component.h"

class leaks_mappings : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        // Each one read-only then writable in turn, so the kernel cannot merge them into one.
        static int flip = 0;
        mmap(nullptr, 4096, (flip++ % 2) ? PROT_READ : PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    }
};

NELK_BROKEN_ENTRY(leaks_mappings)
