// Broken on purpose: registers with a line that lacks its last number.
#include "broken_component.h"

class malformed_line : public quiet_component {
public:
    malformed_line(nelk_host* host, const char* text) : quiet_component(host, text) {
        if (host != nullptr) host->hostSend("IR 12 7", 0);
    }
};

NELK_BROKEN_ENTRY(malformed_line)
