// Broken on purpose: prints a banner when the library is loaded.
#include <cstdio>

#include "broken_component.h"

namespace {
struct banner {
    banner() { std::printf("broken component 1.0 loaded\n"); }
} atLoad;
}  // namespace

NELK_BROKEN_ENTRY(quiet_component)
