// Broken on purpose: a static object whose constructor ends the process with exit(0).
#include <cstdlib>

#include "broken_component.h"

namespace {
struct licence_check {
    licence_check() { std::exit(0); }
} atLoad;
}  // namespace

NELK_BROKEN_ENTRY(quiet_component)
