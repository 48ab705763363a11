// Broken on purpose: clears the process's file mode mask so that its files are writable by all.
#include <sys/stat.h>

#include "broken_component.h"

class changes_umask : public quiet_component {
public:
    changes_umask(nelk_host* host, const char* text) : quiet_component(host, text) { umask(0); }
};

NELK_BROKEN_ENTRY(changes_umask)
