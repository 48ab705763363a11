// A fuzz build of a component (nelk_add_fuzz_test) is instrumented with AddressSanitizer and
// UndefinedBehaviorSanitizer, whose runtime must come first in a process that loads it. A
// nelk-host built without them starts itself again, once, with the runtime the library names
// preloaded, so that `nelk-host run FINDING` replays a fuzzer's finding on that very build.
// POSIX; main thread, before any host runs.
#pragma once

#include <string>
#include <vector>

namespace nelk_host_tool {

// The libraries a run loads: `library` (the default) and those the files' "library" and "load"
// statements name, resolved as the runner resolves them.
std::vector<std::string> librariesOfRun(const std::string& library, const std::vector<std::string>& files);

// When one of `libraries` names a sanitizers' runtime and this process has none, replaces this
// process by nelk-host again (the same arguments) with that runtime in LD_PRELOAD. Returns when
// nothing is to be done; false, with a message on standard error, when the restart failed.
bool restartWithSanitizersFor(const std::vector<std::string>& libraries);

}  // namespace nelk_host_tool
