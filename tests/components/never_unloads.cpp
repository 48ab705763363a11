// Unusual on purpose: linked so that it is never unloaded (-z nodelete), a host's reload keeps its
// old code and statics. A WARN, which --strict makes a failure.
#include "broken_component.h"

NELK_BROKEN_ENTRY(quiet_component)
