// Loads a component library the way a panel host does: open it, resolve
// load_nelk_client_script, create components, close it. dlopen on POSIX, LoadLibrary on Windows.
#pragma once

#include <memory>
#include <string>

#include "nelk_client_callback.h"
#include "nelk_host.h"

namespace nelk_test_kit {

using load_entry = nelk_client_callback* (*)(nelk_host*, const char*);

class component_library {
public:
    // Opens `path`; check loaded() and error() afterwards. Closes it when destroyed, so every
    // component it created must be deleted first.
    explicit component_library(const std::string& path);
    // Opens the file at `opened` (a copy of the library) as the library at `path`: path() and the
    // errors name `path`.
    component_library(const std::string& path, const std::string& opened);
    ~component_library();
    component_library(const component_library&) = delete;
    component_library& operator=(const component_library&) = delete;

    bool loaded() const noexcept { return entry_ != nullptr; }
    // Why opening failed: the loader's message, or that the entry is missing.
    const std::string& error() const noexcept { return error_; }
    const std::string& path() const noexcept { return path_; }
    load_entry entry() const noexcept { return entry_; }

    // Calls the entry; null when it returned null or the library did not load.
    // host: must outlive the component. text: read during the call only.
    nelk_client_callback* create(nelk_host* host, const char* text) const;

private:
    std::string path_;
    std::string error_;
    void* handle_ = nullptr;
    load_entry entry_ = nullptr;
};

// Deletes a component as a Windows host does: through slot 0 of its vtable, Visual C++'s deleting
// destructor, where this build gives the interfaces that layout (nelk_visual_cpp_layout.h), so that
// a component built with Visual C++ is deleted too; through the virtual destructor elsewhere.
// Null is ignored. Host's thread; the component's library must still be loaded.
inline void deleteComponent(nelk_client_callback* component) {
#if NELK_VISUAL_CPP_LAYOUT
    if (component != nullptr) component->deletingDestructor(1);
#else
    delete component;
#endif
}

struct component_deleter {
    void operator()(nelk_client_callback* component) const { deleteComponent(component); }
};
using component_pointer = std::unique_ptr<nelk_client_callback, component_deleter>;

}  // namespace nelk_test_kit
