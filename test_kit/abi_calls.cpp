#include "abi_calls.h"

namespace nelk_test_kit {

#if NELK_VISUAL_CPP_LAYOUT && defined(__i386__)

namespace {

using word = unsigned long;

// The callee may change every SSE register, where the compiler would keep values in them.
#if defined(__SSE__)
#define NELK_SSE_CLOBBERS , "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7"
#else
#define NELK_SSE_CLOBBERS
#endif

// Pushes two argument words (`second`, then `first`), calls `function` with `self` in ecx and
// returns eax; `offset` gets esp after the call minus esp before the pushes: 0 from a callee that
// popped both words, -4 from one that popped one, -8 from one that popped none. esi keeps the
// stack pointer across the call (every convention preserves it), and esp is put back from it.
word callWithTwoWords(void* function, void* self, word first, word second, int& offset) noexcept {
    word result;
    int moved;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %[second]\n\t"
        "pushl %[first]\n\t"
        "call *%[function]\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "=d"(moved), "+c"(self)
        : [function] "r"(function), [first] "r"(first), [second] "r"(second)
        : "esi", "memory", "cc" NELK_SSE_CLOBBERS);
    offset = moved;
    return result;
}

void* slot(void* object, int index) { return (*static_cast<void***>(object))[index]; }

}  // namespace

const char* callCallback(nelk_client_callback& component, void* data, int kind, stack_balance& balance) noexcept {
    // thiscall: the callee pops data and kind.
    const word result = callWithTwoWords(slot(&component, 1), &component, reinterpret_cast<word>(data),
                                         static_cast<word>(kind), balance.error);
    return reinterpret_cast<const char*>(result);
}

void callDeletingDestructor(nelk_client_callback* component, stack_balance& balance) noexcept {
    balance.error = 0;
    if (component == nullptr) return;
    // thiscall: the callee pops the flags, the word above them stays.
    callWithTwoWords(slot(component, 0), component, 1, 0, balance.error);
    balance.error += 4;
}

nelk_client_callback* callEntry(load_entry entry, nelk_host* host, const char* text, stack_balance& balance) noexcept {
    // cdecl: the two arguments are still on the stack when the entry returns.
    const word result = callWithTwoWords(reinterpret_cast<void*>(entry), nullptr, reinterpret_cast<word>(host),
                                         reinterpret_cast<word>(text), balance.error);
    balance.error += 8;
    return reinterpret_cast<nelk_client_callback*>(result);
}

#else

const char* callCallback(nelk_client_callback& component, void* data, int kind, stack_balance& balance) noexcept {
    balance.error = 0;
    return component.callback(data, kind);
}

void callDeletingDestructor(nelk_client_callback* component, stack_balance& balance) noexcept {
    balance.error = 0;
    deleteComponent(component);
}

nelk_client_callback* callEntry(load_entry entry, nelk_host* host, const char* text, stack_balance& balance) noexcept {
    balance.error = 0;
    return entry(host, text);
}

#endif

std::string describeStackError(const char* what, int error) {
    const std::string bytes = std::to_string(error < 0 ? -error : error);
    const bool entry = std::string(what) == "the entry";
    std::string text = std::string(what) + (error < 0 ? " left " + bytes + " bytes of its arguments on the stack"
                                                      : " popped " + bytes + " bytes more than its arguments");
    if (entry) return text + ": a Visual C++ host calls load_nelk_client_script as cdecl (extern \"C\", no __stdcall)";
    return text + ": a Visual C++ host calls it as thiscall in its vtable slot (" +
           (std::string(what) == "callback" ? "slot 1" : "slot 0") +
           "); an interface declared with another calling convention, or with g++'s own layout (two destructor "
           "slots), puts something else there";
}

}  // namespace nelk_test_kit
