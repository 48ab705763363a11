#include "tap_config.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#include <process.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace nelk_tap {

namespace {

// The file of the library that holds `anchor`, or "" when it cannot be told.
std::string ownFile(const void* anchor) {
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(anchor), &module))
        return "";
    wchar_t wide[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, wide, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    char narrow[MAX_PATH * 3] = {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), narrow, sizeof narrow, nullptr, nullptr);
    return size > 0 ? std::string(narrow, static_cast<std::size_t>(size)) : "";
#else
    Dl_info info{};
    if (dladdr(anchor, &info) == 0 || info.dli_fname == nullptr) return "";
    return info.dli_fname;
#endif
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool absolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string processId() {
#if defined(_WIN32)
    return std::to_string(_getpid());
#else
    return std::to_string(getpid());
#endif
}

}  // namespace

tap_config readConfig(const void* anchor) {
    tap_config config;
    const std::string tap = ownFile(anchor);
    if (tap.empty()) {
        config.problem = "the tap cannot tell its own file";
        return config;
    }
    const std::string folder = folderOf(tap);
    const std::string name = tap.substr(folder.size());
    const std::size_t dot = name.find('.');
    config.library = folder + (dot == std::string::npos ? name + ".real" : name.substr(0, dot) + ".real" + name.substr(dot));
    config.trace = tap + ".trace.nelk";
    std::ifstream settings(tap + ".tap");
    for (std::string line; std::getline(settings, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        const std::string placed = absolute(value) ? value : folder + value;
        if (key == "library") config.library = placed;
        if (key == "trace") config.trace = placed;
    }
    for (std::size_t at; (at = config.trace.find("%p")) != std::string::npos;) config.trace.replace(at, 2, processId());
    // The tap standing in for itself would create itself for ever at the host's first creation.
    std::error_code error;
    if (std::filesystem::equivalent(tap, config.library, error))
        config.problem = "the real library " + config.library + " is the tap itself; name the component's own library";
    return config;
}

void complain(const std::string& text) {
    const std::string line = "nelk_tap: " + text + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
#if defined(_WIN32)
    OutputDebugStringA(line.c_str());
#endif
}

}  // namespace nelk_tap
