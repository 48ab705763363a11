// Decodes fuzzer input into host events, shared by the fuzzers that drive components.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "nelk_test_kit.h"

namespace nelk_fuzz {

inline void require(bool condition) {
    if (!condition) std::abort();
}

// Texts made mostly of the bytes that matter to the protocol, sometimes of anything.
inline std::string text(FuzzedDataProvider& input) { return input.ConsumeRandomLengthString(256); }

// Delivers one event to `component`, decoded from the input: a kind (in or out of range), and
// a record or word to go with it. Kind 5 is only used to give back what kind 3 answered.
inline void deliverOne(FuzzedDataProvider& input, nelk_client_callback& component) {
    switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0: {
        const int device = input.ConsumeIntegral<int>();
        const int index = input.ConsumeIntegral<int>();
        const bool null = input.ConsumeBool();
        nelk_test_kit::sendSlot(component, device, index, null ? std::nullopt : std::optional<std::string>(text(input)));
        break;
    }
    case 1: {
        const std::string id = text(input);
        const std::string command = text(input);
        nelk_test_kit::sendControl(component, id, command);
        break;
    }
    case 2:
    case 3: {
        const std::string command = text(input);
        nelk_test_kit::sendCommand(component, command.c_str());
        break;
    }
    case 4: nelk_test_kit::sendTimer(component, input.ConsumeIntegral<int>()); break;
    case 5: nelk_test_kit::sendNumber(component, input.ConsumeIntegral<int>()); break;
    case 6: {
        std::string payload = text(input);
        nelk_test_kit::sendData(component, &payload[0]);
        break;
    }
    default: {
        int kind = input.ConsumeIntegral<int>();
        if (kind >= nelk_kind::first && kind <= nelk_kind::last) kind += nelk_kind::last;
        component.callback(nelk_test_kit::wordFor(input.ConsumeIntegral<int>()), kind);
        break;
    }
    }
}

}  // namespace nelk_fuzz
