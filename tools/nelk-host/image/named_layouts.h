// The layouts a component library names: the texts ending in ".nelk_ui" among the bytes of its
// file (its read-only strings), each cut to its file name, as a host would find the layout in the
// component's folder. Read from the file, never by loading it; any thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_image {

// The layout file names the library at `path` holds, each once, in the order first found;
// false with `problem` set when the file cannot be read.
bool namedLayouts(const std::string& path, std::vector<std::string>& names, std::string& problem);

}  // namespace nelk_image
