// Broken on purpose: a static object whose destructor crashes when the library is unloaded.
#include "broken_component.h"

namespace {
struct cache {
    volatile int* volatile entries = nullptr;  // read at run time, so the store stays
    ~cache() { entries[0] = 0; }
} atLoad;
}  // namespace

NELK_BROKEN_ENTRY(quiet_component)
