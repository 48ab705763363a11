// Files built into nelk-host when it is built (cmake/embed_files.cmake): the page serve shows and
// the project new writes. Nothing of the file system is read for them. Static data; any thread.
#pragma once

#include <cstddef>
#include <vector>

namespace nelk_host_tool {

struct embedded_file {
    const char* path;            // "/index.html" (the page), "src/@Name@.h" (the project), ...
    const char* contentType;     // what its ending says it is: "text/html; charset=utf-8", ...
    const unsigned char* bytes;  // `size` bytes, then a zero byte
    std::size_t size;
};

}  // namespace nelk_host_tool
