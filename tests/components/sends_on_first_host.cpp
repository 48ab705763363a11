// Broken on purpose: every instance sends its timer lines on the host object of the first
// instance created, kept in a static.
#include <string>

#include "broken_component.h"

namespace {
nelk_host* first = nullptr;
}

class sends_on_first_host : public quiet_component {
public:
    sends_on_first_host(nelk_host* host, const char* text) : quiet_component(host, text) {
        if (first == nullptr) first = host;
    }
    void timerCallback(int id) override {
        if (first != nullptr) first->hostSend(("ET " + std::to_string(id)).c_str(), 0);
    }
};

NELK_BROKEN_ENTRY(sends_on_first_host)
