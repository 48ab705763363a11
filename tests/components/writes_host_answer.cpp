// Broken on purpose: splits the host's "TG" answer in place at its '=' before giving it back.
#include <cstring>

#include "broken_component.h"

class writes_host_answer : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int) override {
        if (host == nullptr) return;
        char* answer = static_cast<char*>(host->hostSend("TG '1' 'umdText' 'text'", 0));
        if (answer == nullptr) return;
        if (char* equals = std::strchr(answer, '=')) *equals = '\0';
        host->hostSend(answer, 5);
    }
};

NELK_BROKEN_ENTRY(writes_host_answer)
