// Fuzzes Corvane through its dispatcher with sequences of host events, and checks the protocol:
// well-formed lines, answers given back, settings in range, "AS" last.
#include <cstdint>
#include <cstdio>

#include "Corvane.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    nelk_test_kit::recording_host host;
    auto* component = new Corvane(&host, input.ConsumeBool() ? "layouts" : "");
    for (int events = 0; events < 64 && input.remaining_bytes() > 0; ++events) nelk_fuzz::deliverOne(input, *component);
    // The settings stay within their ranges whatever came.
    const auto settings = nelk_test_kit::sendCommand(*component, "return=all");
    int driver = -1;
    int slot = -1;
    nelk_fuzz::require(settings && std::sscanf(settings->c_str(), "InfoDriverID=%d\nSlot=%d", &driver, &slot) == 2);
    nelk_fuzz::require(driver >= 0 && driver <= nelk_range::lastDriver && slot >= 0 && slot <= nelk_range::lastSlot);
    delete static_cast<nelk_client_callback*>(component);
    nelk_fuzz::require(!host.lines().empty() && host.lines().back() == "AS");
    nelk_fuzz::require(host.finish().empty());
    return 0;
}
