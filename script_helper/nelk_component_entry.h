// How a component library exports its entry: C linkage, the plain name, nothing else exported.
//   NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text)
#pragma once

#include <new>

class nelk_client_callback;
class nelk_host;

// What an entry returns: a new component of type `Component`, made with the host and the load
// text, or null when no memory can be had for it or its construction fails (a load text of 2 GB
// or more): no exception leaves for the host. The host owns the component from then on.
//   NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
//       return nelk_createComponent<MyComponent>(host, text);
//   }
template <typename Component> nelk_client_callback* nelk_createComponent(nelk_host* host, const char* text) noexcept {
    try {
        return new (std::nothrow) Component(host, text);
    } catch (...) {
        return nullptr;
    }
}

#if defined(_WIN32)
#define NELK_COMPONENT_ENTRY extern "C" __declspec(dllexport)
#else
#define NELK_COMPONENT_ENTRY extern "C" __attribute__((visibility("default")))
#endif
