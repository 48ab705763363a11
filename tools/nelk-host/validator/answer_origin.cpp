#include "answer_origin.h"

#include <cstdint>

#include "guarded_memory.h"

#if !defined(_WIN32)
#include <link.h>
#include <pthread.h>
#endif

namespace nelk_validator {

namespace {

#if !defined(_WIN32)
// The calling thread's stack; asked once per thread, as the question reads the memory map.
bool onThisStack(std::uintptr_t at) {
    thread_local std::uintptr_t start = 0;
    thread_local std::uintptr_t end = 0;
    if (end == 0) {
        pthread_attr_t attributes;
        if (pthread_getattr_np(pthread_self(), &attributes) != 0) return false;
        void* low = nullptr;
        std::size_t size = 0;
        if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
            start = reinterpret_cast<std::uintptr_t>(low);
            end = start + size;
        }
        pthread_attr_destroy(&attributes);
    }
    return at >= start && at < end;
}

struct module_search {
    std::uintptr_t at;
    std::string module;
};

int findModule(dl_phdr_info* info, std::size_t, void* data) {
    auto* search = static_cast<module_search*>(data);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (search->at >= start && search->at < start + segment.p_memsz) {
            search->module = info->dlpi_name != nullptr && info->dlpi_name[0] != '\0' ? info->dlpi_name : "the program";
            return 1;
        }
    }
    return 0;
}
#endif

}  // namespace

std::string foreignOrigin(const void* answer) {
    if (isGuarded(answer)) return "points into memory the host owns (a text or record it passed in)";
#if !defined(_WIN32)
    const auto at = reinterpret_cast<std::uintptr_t>(answer);
    if (onThisStack(at)) return "points onto the stack";
    module_search search{at, ""};
    if (dl_iterate_phdr(findModule, &search) != 0) return "points into the static memory of " + search.module;
#endif
    return "";
}

}  // namespace nelk_validator
