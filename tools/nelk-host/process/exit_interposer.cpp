// nelk-host's own exit(), _exit() and _Exit(), exported to the components it loads in place of the
// C library's (cmake/host_exports.list), so that a component that ends the process while the
// process guard is armed is reported instead of ending the run with its own status. When the
// guard is not armed they do exactly what the C library's do.
#include <cstdlib>

#include <dlfcn.h>

#include "process_guard.h"

namespace {

using exit_function = void (*)(int);

[[noreturn]] void callNext(const char* name, int status) {
    auto next = reinterpret_cast<exit_function>(dlsym(RTLD_NEXT, name));
    if (next != nullptr) next(status);
    std::abort();  // no next definition: cannot happen where the C library is loaded
}

}  // namespace

// The C library declares these with __attribute__((noreturn)), and clang wants that form again
// (not [[noreturn]]) on a later declaration.
extern "C" {

__attribute__((noreturn)) void exit(int status) noexcept {
    nelk_process_guard::processEnding("exit", status);
    callNext("exit", status);
}

__attribute__((noreturn)) void _exit(int status) noexcept {
    nelk_process_guard::processEnding("_exit", status);
    callNext("_exit", status);
}

__attribute__((noreturn)) void _Exit(int status) noexcept {
    nelk_process_guard::processEnding("_Exit", status);
    callNext("_Exit", status);
}

}  // extern "C"
