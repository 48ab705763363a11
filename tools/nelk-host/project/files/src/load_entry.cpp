// The library's one export: the host calls it to create a component.
#include "@Name@.h"

// host: kept by the component, may be null. text: the load text, copied. Returns a new @Name@ the
// host owns and deletes, or null when it cannot be made. Host's thread.
NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
    return nelk_createComponent<@Name@>(host, text);
}
