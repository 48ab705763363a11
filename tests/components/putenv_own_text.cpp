// Broken on purpose: puts a text of its own static memory into the environment (putenv keeps
// the pointer), which dangles once the library is unloaded.
#include <cstdlib>

#include "broken_component.h"

namespace {
char setting[] = "NELK_COMPONENT_MODE=studio";
}  // namespace

class putenv_own_text : public quiet_component {
public:
    putenv_own_text(nelk_host* host, const char* text) : quiet_component(host, text) { putenv(setting); }
};

NELK_BROKEN_ENTRY(putenv_own_text)
