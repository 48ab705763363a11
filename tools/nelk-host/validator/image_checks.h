// What a host sees of a Windows component library before it calls anything, and what a package
// holds, checked from the files on any platform, without loading the library: the machine, the
// export and import tables, the interfaces' vtable layout as a Visual C++ host calls it, and a
// package's manifest, hashes and layouts. These checks run in the validator's own process (they
// open no library), before the battery; a check table like the battery's files' (checks.h).
#pragma once

#include <string>
#include <vector>

#include "checks.h"

namespace nelk_validator {

// The checks of a Windows library or a package, in the order they run. Each reads
// check_settings::library and, for a package, check_settings::package.
const std::vector<check>& imageChecks();

// The verdict on a library's exported names: load_nelk_client_script, undecorated, and nothing
// else (shared with the battery's `exports`).
check_outcome judgeExports(const std::vector<std::string>& names);

// Whether a DLL the component imports is one the host's folder or Windows has: "" when it is
// the kit's documented runtime (KERNEL32, the C runtime, nelk_string.dll), otherwise why not
// (`failure` true for a DLL that will be missing, false for Windows' own outside the documented set).
std::string importProblem(const std::string& dll, bool& failure);

}  // namespace nelk_validator
