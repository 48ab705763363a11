// Broken on purpose: a static object whose constructor throws when the library is loaded.
#include <stdexcept>

#include "broken_component.h"

namespace {
struct settings_file {
    settings_file() { throw std::runtime_error("no settings file"); }
} atLoad;
}  // namespace

NELK_BROKEN_ENTRY(quiet_component)
