// The host object: what a panel host offers each component it creates.
//
// What a host guarantees to every component:
// - One thread. The host calls load_nelk_client_script, callback and the component's destructor
//   on one thread, one call at a time, and accepts hostSend from inside each of those calls
//   (a component sends "PS" before its entry returns, and "IU"/"AS" while it is deleted).
// - Kind 0: `text` is one command line ("PS", "TP", "IR", "IU", "IW", "ET", "TG", "XI", "AS");
//   it is valid only during the call, so the host copies whatever it keeps.
// - Kind 5: `text` is an answer the host gave earlier to "TG" or "XI", handed back; the host
//   releases it then. Only those two verbs answer with texts that must be given back, each
//   exactly once; every other answer is a plain word (for "PS": zero or non-zero).
// - A non-null text that the component's callback returns for kind 3 belongs to the component;
//   the host hands it back exactly once with callback(text, 5) and never frees it itself.
// - After deletion begins, the host delivers no more events, and the host object stays valid
//   until the deletion returns.
#pragma once

#include "nelk_visual_cpp_layout.h"

class nelk_host {
public:
#if NELK_VISUAL_CPP_LAYOUT
    NELK_DELETING_DESTRUCTOR(nelk_host)  // slot 0 as a Visual C++ component calls it
#else
    virtual ~nelk_host() = default;
#endif

    // Sends one command line (kind 0) or gives back an answer text (kind 5).
    // text: zero-terminated; valid only during the call, so the host copies what it keeps.
    // Returns null or non-zero; for "TG" and "XI" a text the host owns, which the caller copies
    // and gives back at once with hostSend(answer, 5).  Host's thread, inside any call into us.
    virtual void* NELK_THISCALL hostSend(const char* text, int kind) = 0;
#if NELK_VISUAL_CPP_LAYOUT
    virtual ~nelk_host() = default;  // after the two slots a component uses
#endif
};
