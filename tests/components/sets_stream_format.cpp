// Broken on purpose: leaves std::cout in hexadecimal after printing a diagnostic.
#include <iostream>

#include "broken_component.h"

class sets_stream_format : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int id) override { std::cout << std::hex << std::uppercase << id << '\n'; }
};

NELK_BROKEN_ENTRY(sets_stream_format)
