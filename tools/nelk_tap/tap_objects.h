// The tap's stand-ins: a host object that the real component is given and a component that the
// host is given. Each passes every call through unchanged (the same pointers, kinds and
// answers, nested calls and give-backs included) and tells the trace. The host owns the
// stand-in component as it would own the real one; the stand-in owns the real component (and
// the stand-in host, which must outlive it) and deletes it as a host does. Host's thread, but for
// lines a component sends from a thread of its own.
#pragma once

#include <memory>
#include <string>

#include "component_library.h"
#include "nelk_client_callback.h"
#include "nelk_host.h"
#include "tap_trace.h"

namespace nelk_tap {

class tap_host : public nelk_host {
public:
    // real: the host's own object (may be null); trace: must outlive this object.
    tap_host(nelk_host* real, trace_writer& trace, std::string instance)
        : real_(real), trace_(trace), instance_(std::move(instance)) {}
    void* hostSend(const char* text, int kind) override;

private:
    nelk_host* real_;
    trace_writer& trace_;
    std::string instance_;
};

class tap_component : public nelk_client_callback {
public:
    // real: the component the real library made, given `host` at its creation.
    tap_component(nelk_client_callback* real, std::unique_ptr<tap_host> host,
                  std::shared_ptr<nelk_test_kit::component_library> library, trace_writer& trace, std::string instance)
        : real_(real), host_(std::move(host)), library_(std::move(library)), trace_(trace), instance_(std::move(instance)) {}
    // The real component is deleted as the host deletes this one; the library closes with the last.
    ~tap_component() override;
    tap_component(const tap_component&) = delete;
    tap_component& operator=(const tap_component&) = delete;

    const char* callback(void* data, int kind) override;

private:
    nelk_client_callback* real_;
    std::unique_ptr<tap_host> host_;
    std::shared_ptr<nelk_test_kit::component_library> library_;
    trace_writer& trace_;
    std::string instance_;
};

// The statement that replays the call callback(data, kind) of `instance`, read from the host's
// record while the call runs; what cannot be replayed (kind 6's pointer) is said to `trace`.
std::string statementFor(const std::string& instance, void* data, int kind, trace_writer& trace);

}  // namespace nelk_tap
