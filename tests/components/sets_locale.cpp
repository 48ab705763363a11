// Broken on purpose: switches the whole process to the user's locale when it is created, so
// that the host's own number formatting changes under it.
#include <clocale>

#include "broken_component.h"

class sets_locale : public quiet_component {
public:
    sets_locale(nelk_host* host, const char* text) : quiet_component(host, text) { std::setlocale(LC_NUMERIC, "C.UTF-8"); }
};

NELK_BROKEN_ENTRY(sets_locale)
