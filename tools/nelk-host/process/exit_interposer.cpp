// nelk-host's own exit(), _exit() and _Exit(), exported to the components it loads in place of the
// C library's (cmake/host_exports.list), so that a component that ends the process while the
// process guard is armed is reported instead of ending the run with its own status. When the
// guard is not armed they do exactly what the C library's do.
#include <cstdlib>

#include <dlfcn.h>

#include "process_guard.h"

namespace {

using exit_function = void (*)(int);

exit_function lookUp(const char* name) { return reinterpret_cast<exit_function>(dlsym(RTLD_NEXT, name)); }

// The C library's, looked up once before main() and so before any component is loaded: looking
// them up later would wait for the loader's lock, which a component's exception thrown out of
// its static initialisers through dlopen leaves taken, and the process would never end.
const exit_function nextExit = lookUp("exit");
const exit_function nextUnderscoreExit = lookUp("_exit");
const exit_function nextCapitalExit = lookUp("_Exit");

[[noreturn]] void callNext(exit_function next, const char* name, int status) {
    if (next == nullptr) next = lookUp(name);  // called before this file's initialisers ran
    if (next != nullptr) next(status);
    std::abort();  // no next definition: cannot happen where the C library is loaded
}

}  // namespace

// The C library declares these with __attribute__((noreturn)), and clang wants that form again
// (not [[noreturn]]) on a later declaration.
extern "C" {

__attribute__((noreturn)) void exit(int status) noexcept {
    nelk_process_guard::processEnding("exit", status);
    callNext(nextExit, "exit", status);
}

__attribute__((noreturn)) void _exit(int status) noexcept {
    nelk_process_guard::processEnding("_exit", status);
    callNext(nextUnderscoreExit, "_exit", status);
}

__attribute__((noreturn)) void _Exit(int status) noexcept {
    nelk_process_guard::processEnding("_Exit", status);
    callNext(nextCapitalExit, "_Exit", status);
}

}  // extern "C"
