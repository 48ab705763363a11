// The page nelk-host serve shows, built into the program: no file of the file system is served.
// Static data; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nelk_host_tool {

struct page_asset {
    const char* path;         // "/index.html", "/app.js", ...
    const char* contentType;  // "text/html; charset=utf-8", ...
    const unsigned char* bytes;
    std::size_t size;
};

// Every file of the page, generated from tools/nelk-host/serve/page at build time.
const std::vector<page_asset>& pageAssets();

}  // namespace nelk_host_tool
