// The texts a component library holds in its read-only data: what its code compares the host's
// texts with ("mode=arm", "state=held", its settings' names), for the fuzzer's dictionary. ELF
// libraries only; any thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_fuzzing {

// The runs of at least `shortest` printable bytes, ended by a zero, in the .rodata section of
// the ELF library at `path`; empty when the file cannot be read or is no ELF library. At most
// `most` of them, in the order they stand.
std::vector<std::string> libraryTexts(const std::string& path, std::size_t shortest = 3, std::size_t most = 2000);

}  // namespace nelk_fuzzing
