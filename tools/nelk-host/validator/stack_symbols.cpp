#include "stack_symbols.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <cxxabi.h>

#if defined(NELK_HAVE_LIBDW)
#include <elfutils/libdwfl.h>
#endif

namespace nelk_validator {

namespace {

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

#if defined(NELK_HAVE_LIBDW)
std::string demangled(const char* name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : std::string(name);
}
#endif

// The library a frame lies in: the one loaded nearest below it.
const nelk_host_tool::child_report::module* moduleOf(const nelk_host_tool::child_report& report, std::uint64_t pc) {
    const nelk_host_tool::child_report::module* best = nullptr;
    for (int i = 0; i < report.moduleCount; ++i) {
        const auto& each = report.modules[i];
        if (each.bias <= pc && (best == nullptr || each.bias > best->bias)) best = &each;
    }
    return best;
}

std::string moduleName(const nelk_host_tool::child_report::module* module) {
    if (module == nullptr) return "?";
    return module->path[0] != '\0' ? module->path : "the validator";
}

}  // namespace

std::string symbolizedStack(const nelk_host_tool::child_report& report, int frames) {
    if (report.frameCount <= 0) return "";
    // Frames before the faulting instruction are the crash handler's own.
    int first = 0;
    for (int i = 0; i < report.frameCount; ++i) {
        if (report.pc != 0 && report.frames[i] == report.pc) {
            first = i;
            break;
        }
    }
#if defined(NELK_HAVE_LIBDW)
    static const Dwfl_Callbacks callbacks = {dwfl_build_id_find_elf, dwfl_standard_find_debuginfo,
                                             dwfl_offline_section_address, nullptr};
    std::unique_ptr<Dwfl, void (*)(Dwfl*)> dwfl(dwfl_begin(&callbacks), dwfl_end);
    if (dwfl) {
        dwfl_report_begin(dwfl.get());
        for (int i = 0; i < report.moduleCount; ++i) {
            const auto& each = report.modules[i];
            const char* path = each.path[0] != '\0' ? each.path : "/proc/self/exe";
            dwfl_report_elf(dwfl.get(), path, path, -1, each.bias, true);
        }
        dwfl_report_end(dwfl.get(), nullptr, nullptr);
    }
#endif
    std::string text;
    int shown = 0;
    for (int i = first; i < report.frameCount && shown < frames; ++i, ++shown) {
        const std::uint64_t pc = report.frames[i];
        const nelk_host_tool::child_report::module* module = moduleOf(report, pc);
        std::string line = "#" + std::to_string(shown) + " ";
        std::string where;
#if defined(NELK_HAVE_LIBDW)
        const std::uint64_t lookup = i == first ? pc : pc - 1;  // a return address follows its call
        Dwfl_Module* found = dwfl ? dwfl_addrmodule(dwfl.get(), lookup) : nullptr;
        const char* function = found != nullptr ? dwfl_module_addrname(found, lookup) : nullptr;
        if (function != nullptr) line += demangled(function);
        Dwfl_Line* source = found != nullptr ? dwfl_module_getsrc(found, lookup) : nullptr;
        int number = 0;
        const char* file = source != nullptr ? dwfl_lineinfo(source, nullptr, &number, nullptr, nullptr, nullptr) : nullptr;
        if (file != nullptr) where = std::string(" at ") + file + ":" + std::to_string(number);
        if (function == nullptr)
#endif
            line += hex(module != nullptr ? pc - module->bias : pc);
        text += line + where + " (" + moduleName(module) + ")\n";
        // The component's frames end where the validator called it; the rest is the validator's.
        if (module != nullptr && module->path[0] == '\0' && i > first) break;
    }
    return text;
}

}  // namespace nelk_validator
