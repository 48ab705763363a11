#include "executable_path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace nelk_host_tool {

std::string executablePath() {
    std::string path;
#if defined(_WIN32)
    char buffer[MAX_PATH] = {};
    const DWORD size = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (size > 0 && size < MAX_PATH) path.assign(buffer, size);
#else
    char buffer[PATH_MAX] = {};
    const ssize_t size = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (size > 0) path.assign(buffer, static_cast<std::size_t>(size));
#endif
    return path.empty() ? std::string("nelk-host") : path;
}

std::string executableDirectory() {
    const std::string path = executablePath();
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string defaultComponentLibrary() {
#if defined(_WIN32)
    return executableDirectory() + "\\Corvane.dll";
#else
    return executableDirectory() + "/libCorvane.so";
#endif
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool isTerminal(int descriptor) {
#if defined(_WIN32)
    (void)descriptor;
    return false;
#else
    return isatty(descriptor) != 0;
#endif
}

}  // namespace nelk_host_tool
