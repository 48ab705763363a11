#include "kit_parts.h"

#include <cstdlib>
#include <filesystem>

#include "process/executable_path.h"

namespace nelk_package {

namespace {

using nelk_image::pe_machine;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool isFile(const std::string& path) {
    std::error_code ignored;
    return !path.empty() && std::filesystem::is_regular_file(path, ignored);
}

#if !defined(_WIN32)
// A program on PATH, or "".
std::string onPath(const std::string& name) {
    const std::string path = environment("PATH");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string candidate = (end > start ? path.substr(start, end - start) : std::string(".")) + "/" + name;
        if (isFile(candidate)) return candidate;
        start = end + 1;
    }
    return "";
}
#endif

const char* triplet(pe_machine machine) { return machine == pe_machine::x86 ? "i686-w64-mingw32" : "x86_64-w64-mingw32"; }

// A part of the kit: the environment's choice, else the install's; "" with `problem` set.
std::string kitPart(const char* variable, const std::string& relative, const std::string& what, std::string& problem) {
    const std::string chosen = environment(variable);
    if (!chosen.empty()) {
        if (isFile(chosen)) return chosen;
        problem = std::string(variable) + " names " + chosen + ", which is no file";
        return "";
    }
    const std::string root = nelk_host_tool::installRoot();
    const std::string installed = root.empty() ? "" : root + "/" + relative;
    if (isFile(installed)) return installed;
    problem = root.empty() ? "this nelk-host runs from a build tree, which has no " + what + " (set " + variable + ")"
                           : "the kit in " + root + " has no " + what + " (" + installed +
                                 "): install a kit built with its Windows parts (tools/package.sh), or set " + variable;
    return "";
}

}  // namespace

std::vector<std::string> windowsProgramRunner(pe_machine machine, std::string& problem) {
#if defined(_WIN32)
    (void)machine;
    problem = "this nelk-host runs on Windows, where Windows programs need no runner";
    return {};
#else
    if (machine == pe_machine::x86) {
        const std::string runner = kitPart("NELK_WIN32_RUN", "bin/nelk-win32-run", "32-bit Windows runner", problem);
        if (runner.empty()) return {};
        return {runner};
    }
    if (machine == pe_machine::x64) {
        std::string wine = environment("NELK_WINE64");
        if (wine.empty()) wine = onPath("wine64");
        if (wine.empty() && isFile("/usr/lib/wine/wine64")) wine = "/usr/lib/wine/wine64";
        if (wine.empty()) {
            problem = "nothing here runs a 64-bit Windows program: install wine64 (Debian: apt-get install wine64), or set NELK_WINE64";
            return {};
        }
        return {wine};
    }
    problem = "no runner is known for this machine";
    return {};
#endif
}

std::string windowsHost(pe_machine machine, std::string& problem) {
    if (machine == pe_machine::other) {
        problem = "the kit has no nelk-host for this machine";
        return "";
    }
    return kitPart(machine == pe_machine::x86 ? "NELK_WINDOWS_HOST_X86" : "NELK_WINDOWS_HOST_X64",
                   std::string(triplet(machine)) + "/bin/nelk-host.exe",
                   std::string(nelk_image::machineName(machine)) + " nelk-host.exe", problem);
}

std::string tapLibrary(const std::string& platform, const std::string& architecture, std::string& problem) {
    if (platform == "windows" && (architecture == "x86" || architecture == "x64")) {
        const pe_machine machine = architecture == "x86" ? pe_machine::x86 : pe_machine::x64;
        return kitPart(machine == pe_machine::x86 ? "NELK_WINDOWS_TAP_X86" : "NELK_WINDOWS_TAP_X64",
                       std::string(triplet(machine)) + "/lib/nelk/nelk_tap.dll", architecture + " nelk_tap.dll", problem);
    }
    // The Linux tap is the one beside the components this nelk-host ships with.
    const std::string beside = nelk_host_tool::directoryOf(nelk_host_tool::defaultComponentLibrary()) + "/libnelk_tap.so";
    const char* own = sizeof(void*) == 8 ? "x86_64" : "i686";
    if (platform == "linux" && architecture == own && isFile(beside)) return beside;
    problem = "the kit has no tap for " + platform + " " + architecture;
    return "";
}

}  // namespace nelk_package
