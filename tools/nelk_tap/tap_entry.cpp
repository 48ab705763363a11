// nelk_tap: a component library that stands in for another, to record what a real host does to
// it (docs/tap.md). It does nothing when loaded; at its first creation it reads its configuration
// (tap_config.h), opens the trace and loads the real library, and from then on hands the host a
// stand-in of every component the real library makes. It exports only load_nelk_client_script.
#include <memory>
#include <mutex>
#include <new>

#include "nelk_component_entry.h"
#include "scenario_words.h"
#include "tap_config.h"
#include "tap_objects.h"

namespace {

using nelk_tap::trace_writer;

// What the tap keeps between creations; made at the first one.
struct tap_state {
    nelk_tap::tap_config config;
    std::unique_ptr<trace_writer> trace;
    // Loaded at the first creation and kept until the tap unloads, as a host keeps a component
    // library: the real component's statics live as long as they would without the tap.
    std::shared_ptr<nelk_test_kit::component_library> library;
};

}  // namespace

NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    static tap_state state{nelk_tap::readConfig(reinterpret_cast<const void*>(&nelk_tap::readConfig)), nullptr, {}};
    static bool told = false;  // each problem once, not at every creation
    if (!state.config.problem.empty()) {
        if (!told) nelk_tap::complain(state.config.problem + "; the tap makes no component");
        told = true;
        return nullptr;
    }
    if (!state.trace) {
        state.trace = std::make_unique<trace_writer>(state.config.trace, state.config.library);
        if (!state.trace->open()) nelk_tap::complain(state.trace->problem() + "; the components run, but nothing is recorded");
    }
    trace_writer& trace = *state.trace;
    if (!state.library || !state.library->loaded()) {
        state.library = std::make_shared<nelk_test_kit::component_library>(state.config.library);
        if (!state.library->loaded()) {
            trace.note("cannot load the real component: " + state.library->error());
            return nullptr;
        }
    }
    const std::shared_ptr<nelk_test_kit::component_library>& library = state.library;
    const std::string name = trace.newInstance();
    auto standIn = std::make_unique<nelk_tap::tap_host>(host, trace, name);
    trace.begin(name, trace.loadStatement(name, text));
    nelk_client_callback* real = library->create(host != nullptr ? standIn.get() : nullptr, text);
    trace.end();
    if (real == nullptr) {
        trace.note(name + ": the real entry returned null");
        return nullptr;
    }
    if (host == nullptr) trace.note(name + " was made with a null host; a replay gives it one");
    nelk_client_callback* tapped = new (std::nothrow) nelk_tap::tap_component(real, std::move(standIn), library, trace, name);
    if (tapped == nullptr) nelk_test_kit::deleteComponent(real);  // no memory for the stand-in: nothing is left behind
    return tapped;
}
