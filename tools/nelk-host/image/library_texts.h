// The texts a component library holds in its read-only data: what its code compares the host's
// texts with ("mode=arm", "state=held", its settings' names), for the fuzzer's dictionary, and
// the sanitizers' runtime a fuzz build of it names. ELF libraries only; any thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_image {

// The runs of at least `shortest` printable bytes, ended by a zero, in the .rodata section of
// the ELF library at `path`; empty when the file cannot be read or is no ELF library. At most
// `most` of them, in the order they stand.
std::vector<std::string> libraryTexts(const std::string& path, std::size_t shortest = 3, std::size_t most = 2000);

// The rest of the first such text that begins with `prefix`, wherever it stands; "" when none does.
std::string libraryTextAfter(const std::string& path, const std::string& prefix);

// The text a fuzz build of a component (nelk_add_fuzz_test) holds to name the sanitizers'
// runtime it needs first in any process that loads it: this, then the runtime's path.
constexpr const char* sanitizerRuntimeMark = "NELK_SANITIZER_RUNTIME=";

}  // namespace nelk_image
