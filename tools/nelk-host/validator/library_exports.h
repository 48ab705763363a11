// The names a library file exports: its dynamic symbol table (ELF, read with the system's own
// definitions of the format), or its export table (a Windows image, on any platform). Any thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_validator {

// The defined, visible functions and objects the library at `path` exports, in table order.
// False with `problem` set when the file cannot be read as a library of this platform.
bool exportedNames(const std::string& path, std::vector<std::string>& names, std::string& problem);

}  // namespace nelk_validator
