// A host for benchmarks: counts lines and give-backs, answers "PS" with 1 and "XI"/"TG" with
// texts it keeps, so that a measurement holds only the component's own work.
#pragma once

#include <string>

#include <benchmark/benchmark.h>

#include "nelk_host.h"

// The host pointer as the optimiser cannot follow it: every floor pays for the same virtual call
// as the component, and no allocation of it can be elided.
template <typename T> T* opaque(T* pointer) {
#if defined(__GNUC__)
    asm volatile("" : "+r"(pointer) : : "memory");
#else
    benchmark::DoNotOptimize(pointer);
#endif
    return pointer;
}

class counting_host : public nelk_host {
public:
    // Defined in its own file, so that no caller can see through the virtual call.
    void* hostSend(const char* text, int kind) override;

    std::string controls;           // the answer to "XI"
    std::string reading = "value=1";  // the answer to "TG"
    long lines = 0;
    long givenBack = 0;
    unsigned long checksum = 0;
};
