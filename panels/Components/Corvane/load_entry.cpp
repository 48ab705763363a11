// The library's one export: the host calls it to create a component.
#include "Corvane.h"

// host: the host object, kept by the component, may be null. text: the load text, copied.
// Returns a new Corvane the host owns and deletes through its virtual destructor, or null when no
// memory can be had or the load text cannot be taken (then nothing is constructed or sent).
// Host's thread.
NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
    return nelk_createComponent<Corvane>(host, text);
}
