#include "executable_path.h"

#include <filesystem>
#include <system_error>

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

namespace {

bool isFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string defaultComponentLibrary() {
#if defined(_WIN32)
    const char name[] = "Corvane.dll";
#else
    const char name[] = "libCorvane.so";
#endif
    // Beside this program in a build tree; in the components' folder of an install.
    const std::string beside = executableDirectory() + "/" + name;
#if defined(NELK_INSTALLED_COMPONENTS)
    const std::string installed = executableDirectory() + "/" NELK_INSTALLED_COMPONENTS "/" + name;
    if (!isFile(beside) && isFile(installed)) return installed;
#endif
    return beside;
}

std::string installRoot() {
#if defined(NELK_INSTALLED_PACKAGE) && defined(NELK_INSTALLED_PREFIX)
    const std::string directory = executableDirectory();
    if (isFile(directory + "/" NELK_INSTALLED_PACKAGE "/nelk_script_helperConfig.cmake")) {
        std::error_code error;
        const std::filesystem::path prefix = std::filesystem::weakly_canonical(directory + "/" NELK_INSTALLED_PREFIX, error);
        if (!error) return prefix.string();
    }
#endif
    return "";
}

std::string installPrefix() {
    const std::string root = installRoot();
    return root.empty() ? "<the prefix nelk_script_helper is installed in>" : root;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string shellQuoted(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                               "0123456789_-./=:,+@%") == std::string::npos;
    if (plain) return text;
    std::string quoted = "'";
    for (const char byte : text) quoted += byte == '\'' ? std::string("'\\''") : std::string(1, byte);
    return quoted + "'";
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
