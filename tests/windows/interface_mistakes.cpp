// One small component whose interface is declared three ways, for a host to tell them apart:
//   (default)                    the contract's header: Visual C++'s layout, thiscall on x86
//   NELK_MISTAKE_GXX_LAYOUT      its own interface with a plain virtual destructor, which
//                                mingw-w64's g++ gives two slots, so `callback` lands in slot 2
//   NELK_MISTAKE_CDECL           its own interface with Visual C++'s slots but `callback` cdecl,
//                                so on x86 it reads `this` from the stack, where the host put `data`
//   NELK_MISTAKE_SECOND_EXPORT   a second exported function beside the entry
//   NELK_MISTAKE_SHARED_RUNTIME  (a link option, no source change) mingw-w64's C++ runtime as DLLs
//                                it imports, which no host's folder has
// Created, it shows "echo.nelk_ui"; a command TEXT shows TEXT in the label; deleted, it sends "AS".
#include <cstddef>

#include "nelk_host.h"

#if defined(NELK_MISTAKE_GXX_LAYOUT)
class component_interface {
public:
    virtual ~component_interface() = default;
    virtual const char* callback(void* data, int kind) = 0;
};
#elif defined(NELK_MISTAKE_CDECL)
class component_interface {
public:
    NELK_DELETING_DESTRUCTOR(component_interface)
    virtual const char* __attribute__((cdecl)) callback(void* data, int kind) = 0;
    virtual ~component_interface() = default;
};
#else
#include "nelk_client_callback.h"
using component_interface = nelk_client_callback;
#endif

namespace {

class label_component : public component_interface {
public:
    explicit label_component(nelk_host* host) : host_(host) { host_->hostSend("PS '1' 'echo.nelk_ui'", 0); }
    ~label_component() override { host_->hostSend("AS", 0); }

#if defined(NELK_MISTAKE_CDECL)
    const char* __attribute__((cdecl)) callback(void* data, int kind) override {
#else
    const char* NELK_THISCALL callback(void* data, int kind) override {
#endif
        if (kind != 3 || data == nullptr) return nullptr;
        const char* text = static_cast<const char*>(data);
        char line[256] = "TP 'text=";
        std::size_t at = sizeof "TP 'text=" - 1;
        for (; *text != '\0' && at < sizeof line - 16; ++text) line[at++] = *text;
        for (const char* end = "' '1' 'label'"; *end != '\0'; ++end) line[at++] = *end;
        line[at] = '\0';
        host_->hostSend(line, 0);
        return nullptr;
    }

private:
    nelk_host* host_;
};

}  // namespace

#if defined(NELK_MISTAKE_SECOND_EXPORT)
extern "C" __declspec(dllexport) int nelk_component_version() { return 1; }
#endif

#if defined(NELK_MISTAKE_SHARED_RUNTIME)
// Something of the C++ library that the runtime DLL then has to give.
#include <string>
std::string labelOf(const char* text) { return std::string("label: ") + text; }
#endif

extern "C" __declspec(dllexport) component_interface* load_nelk_client_script(nelk_host* host, const char*) {
    return host != nullptr ? new label_component(host) : nullptr;
}
