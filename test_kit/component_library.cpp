#include "component_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace nelk_test_kit {

namespace {
const char entryName[] = "load_nelk_client_script";

#if defined(_WIN32)
std::string lastWindowsError() {
    char message[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, message,
                   sizeof message, nullptr);
    std::string text(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}
#endif
}  // namespace

component_library::component_library(const std::string& path) : component_library(path, path) {}

component_library::component_library(const std::string& path, const std::string& opened) : path_(path) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(opened.c_str());
    if (module == nullptr) {
        error_ = "cannot load " + path + ": " + lastWindowsError();
        return;
    }
    handle_ = module;
    entry_ = reinterpret_cast<load_entry>(reinterpret_cast<void*>(GetProcAddress(module, entryName)));
#else
    handle_ = dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* message = dlerror();
        error_ = message != nullptr ? message : "cannot load " + path;
        // The loader names the file it was given; the reader knows the library by its own name.
        for (std::size_t at; opened != path && (at = error_.find(opened)) != std::string::npos;)
            error_.replace(at, opened.size(), path);
        return;
    }
    entry_ = reinterpret_cast<load_entry>(dlsym(handle_, entryName));
#endif
    if (entry_ == nullptr) error_ = path + " does not export " + entryName;
}

component_library::~component_library() {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

nelk_client_callback* component_library::create(nelk_host* host, const char* text) const {
    return entry_ != nullptr ? entry_(host, text) : nullptr;
}

}  // namespace nelk_test_kit
