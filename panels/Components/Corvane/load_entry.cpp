// The library's one export: the host calls it to create a component.
#include <new>

#include "Corvane.h"

#if defined(_WIN32)
#define NELK_ENTRY extern "C" __declspec(dllexport)
#else
#define NELK_ENTRY extern "C" __attribute__((visibility("default")))
#endif

// host: the host object, kept by the component, may be null. text: the load text, copied.
// Returns a new Corvane the host owns and deletes through its virtual destructor, or null when no
// memory can be had (then nothing is constructed or sent). Host's thread.
NELK_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
    return new (std::nothrow) Corvane(host, text);
}
