// What the host holds for each component: a virtual destructor, then callback.
#pragma once

#include "nelk_visual_cpp_layout.h"

class nelk_client_callback {
public:
    // The host deletes a component through this; the component sends its last lines ("IU",
    // then "AS") from inside it. Host's thread.
#if NELK_VISUAL_CPP_LAYOUT
    NELK_DELETING_DESTRUCTOR(nelk_client_callback)  // slot 0, as a Visual C++ host deletes
#else
    virtual ~nelk_client_callback() = default;
#endif

    // The single notification entry: `kind` 1 to 7 says what `data` is (see nelk_script_helper).
    // Returns null, or for kind 3 a text the component owns until the host gives it back exactly
    // once with callback(text, 5). Host's thread, one call at a time; may be re-entered from
    // inside hostSend.
    virtual const char* NELK_THISCALL callback(void* data, int kind) = 0;
#if NELK_VISUAL_CPP_LAYOUT
    virtual ~nelk_client_callback() = default;  // after the two slots a host uses; slot 0 runs it
#endif
};
