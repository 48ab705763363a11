// Component library files as a live session sees them while their author rebuilds them: whether
// a file is a whole library of this program's kind (and not one a linker is still writing), and
// a library opened from a private copy, so that a rebuild never touches the code that is loaded
// and a new build can be loaded while the old one still is. Host's thread.
#pragma once

#include <memory>
#include <string>

#include "component_library.h"

namespace nelk_host_tool {

// True when `path` holds a whole shared library this program can load: an ELF file of its class
// and machine whose sections all lie inside the file (a PE image on Windows). Otherwise false,
// with `problem` saying what is wrong.
bool libraryComplete(const std::string& path, std::string& problem);

// Opens `path` from a copy made beside it (in its folder, so that its dependencies are found as
// they would be for it) and removed once loaded, where the system allows (not on Windows, which
// opens `path` itself). The library's errors name `path`.
std::shared_ptr<nelk_test_kit::component_library> openPrivateCopy(const std::string& path);

// A library path as a statement or an option names it, made absolute: a relative one is taken
// from `directory` (a scenario file's folder), or from the working directory when that is empty.
std::string resolvedLibraryPath(const std::string& directory, const std::string& path);

// The file's size and modification time, as one text ("" when it cannot be read): what changes
// when the file is written.
std::string fileStamp(const std::string& path);

}  // namespace nelk_host_tool
