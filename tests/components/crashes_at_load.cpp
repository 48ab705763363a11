// Broken on purpose: a static object whose constructor crashes when the library is loaded.
#include "broken_component.h"

namespace {
struct registry {
    registry() {
        volatile int* volatile nowhere = nullptr;  // read at run time, so the store is not optimised away
        *nowhere = 1;
    }
} atLoad;
}  // namespace

NELK_BROKEN_ENTRY(quiet_component)
