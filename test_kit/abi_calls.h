// Calls into a component made exactly as a Visual C++ host on 32-bit x86 makes them, with what
// the callee did to the stack measured. There the interfaces' operations are thiscall (the callee
// pops its arguments) and the entry is cdecl (the caller pops them). A component whose callback
// or destructor is declared some other way, or whose slot 1 holds another function (g++'s
// two-slot destructor puts its deleting destructor there), leaves the stack off by the
// difference. The calls restore the stack themselves, so such a component cannot corrupt the
// caller's frame; the difference comes back for the host to report. Everywhere else the calls are
// plain ones and the difference is always 0.
// Host's thread, as the calls they stand for; nothing is kept.
#pragma once

#include <string>

#include "component_library.h"

namespace nelk_test_kit {

// What a call left: the bytes by which the stack pointer differs from where the calling
// convention leaves it (negative: arguments left on the stack), and so a breach when not 0.
struct stack_balance {
    int error = 0;
    bool held() const noexcept { return error == 0; }
};

// component.callback(data, kind) through slot 1.
const char* callCallback(nelk_client_callback& component, void* data, int kind, stack_balance& balance) noexcept;
// Deletion through slot 0 with flags 1 (see deleteComponent); null is ignored.
void callDeletingDestructor(nelk_client_callback* component, stack_balance& balance) noexcept;
// entry(host, text); the entry's own result.
nelk_client_callback* callEntry(load_entry entry, nelk_host* host, const char* text, stack_balance& balance) noexcept;

// The breach in words: which call (`what`: "callback", "the deleting destructor", "the entry"),
// how far off, and what a host built with Visual C++ expected.
std::string describeStackError(const char* what, int error);

}  // namespace nelk_test_kit
