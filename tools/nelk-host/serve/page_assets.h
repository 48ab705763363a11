// The page nelk-host serve shows, built into the program: no file of the file system is served.
// Static data; any thread.
#pragma once

#include "process/embedded_files.h"

namespace nelk_host_tool {

// Every file of the page, generated from tools/nelk-host/serve/page at build time, each under
// "/" and its name.
const std::vector<embedded_file>& pageAssets();

}  // namespace nelk_host_tool
