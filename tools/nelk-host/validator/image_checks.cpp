#include "image_checks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#if defined(NELK_HAVE_CAPSTONE)
#include <capstone/capstone.h>
#endif

#include "check_support.h"
#include "image/named_layouts.h"
#include "image/pe_image.h"
#include "library_exports.h"
#if defined(NELK_HAVE_PACKAGES)
#include "package/package_manifest.h"
#endif

namespace nelk_validator {

namespace {

using nelk_image::pe_image;
using nelk_image::pe_machine;

const char entryName[] = "load_nelk_client_script";

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The check's library as a Windows image; nullopt with `failed` set to the verdict when it is none.
std::optional<pe_image> windowsImage(const check_settings& settings, check_outcome& failed) {
    std::string problem;
    if (!pe_image::looksLike(settings.library)) {
        failed = skip("an ELF library, not a Windows DLL: the battery checks it");
        return std::nullopt;
    }
    std::optional<pe_image> image = pe_image::read(settings.library, problem);
    if (!image) failed = fail(fileName(settings.library) + ": " + problem);
    return image;
}

#if defined(NELK_HAVE_PACKAGES)
// The package's manifest; nullopt with `failed` set when there is no package or it is unreadable.
std::optional<nelk_package::manifest> packageManifest(const check_settings& settings, check_outcome& failed) {
    if (settings.package.empty()) {
        failed = skip("a library, not a package");
        return std::nullopt;
    }
    std::ifstream input(std::filesystem::path(settings.package) / nelk_package::manifestName, std::ios::binary);
    if (!input) {
        failed = fail(std::string("the package holds no ") + nelk_package::manifestName);
        return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    nelk_package::manifest contents;
    std::string problem;
    if (!nelk_package::readManifest(text, contents, problem)) {
        failed = fail(problem);
        return std::nullopt;
    }
    return contents;
}
#endif

// The architecture of an ELF library as a Linux package names it, or "" for another file.
std::string elfArchitecture(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    char header[20] = {};
    if (!input.read(header, sizeof header) || std::string(header, 4) != "\177ELF") return "";
    const int machine = static_cast<unsigned char>(header[18]) | (static_cast<unsigned char>(header[19]) << 8);
    return machine == 62 ? "x86_64" : machine == 3 ? "i686" : "machine " + std::to_string(machine);
}

check_outcome imageMachine(const check_settings& settings) {
    std::string platform = "linux";
    std::string architecture = elfArchitecture(settings.library);
    std::string verdict = "an ELF library for " + architecture;
    if (architecture.empty()) {
        check_outcome failed = pass("");
        const std::optional<pe_image> image = windowsImage(settings, failed);
        if (!image) return failed.status == check_status::skip ? fail("neither a Windows DLL nor an ELF library") : failed;
        if (!image->isDll()) return fail(fileName(settings.library) + " is a Windows program, not a DLL a host can load");
        if (image->machine() == pe_machine::other) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%x", static_cast<unsigned>(image->machineCode()));
            return fail(fileName(settings.library) + " is for machine " + code + ", neither x86 nor x64");
        }
        platform = "windows";
        architecture = nelk_image::machineName(image->machine());
        verdict = image->machine() == pe_machine::x86 ? "a DLL for x86, the host's platform (32-bit Windows)"
                                                      : "a DLL for x64, for a 64-bit host (the host is 32-bit x86)";
    }
#if defined(NELK_HAVE_PACKAGES)
    if (!settings.package.empty()) {
        check_outcome failed = pass("");
        const std::optional<nelk_package::manifest> contents = packageManifest(settings, failed);
        if (!contents) return failed;
        if (contents->platform != platform || contents->architecture != architecture)
            return fail("the manifest says " + contents->platform + " " + contents->architecture + ", but " +
                        fileName(settings.library) + " is a " + platform + " library for " + architecture);
        verdict += ", as the manifest says";
    }
#endif
    return pass(verdict);
}

check_outcome imageExports(const check_settings& settings) {
    if (!pe_image::looksLike(settings.library)) {  // a package's Linux library: its dynamic symbols
        std::vector<std::string> names;
        std::string problem;
        if (!exportedNames(settings.library, names, problem)) return fail(problem);
        return judgeExports(names);
    }
    check_outcome failed = pass("");
    const std::optional<pe_image> image = windowsImage(settings, failed);
    if (!image) return failed;
    for (const std::string& name : image->exports()) {
        // stdcall's decoration (_name@8) or a C++ name: the host's GetProcAddress finds neither.
        if (name != entryName && name.find(entryName) != std::string::npos)
            return fail("exports the entry as \"" + name + "\", which a host looking up " + entryName +
                        " does not find: declare it extern \"C\" and without __stdcall");
    }
    return judgeExports(image->exports());
}

check_outcome imageImports(const check_settings& settings) {
    check_outcome failed = pass("");
    const std::optional<pe_image> image = windowsImage(settings, failed);
    if (!image) return failed;
    std::vector<std::string> failures;
    std::vector<std::string> warnings;
    for (const std::string& dll : image->imports()) {
        bool failure = false;
        const std::string problem = importProblem(dll, failure);
        if (!problem.empty()) (failure ? failures : warnings).push_back(problem);
    }
    // Every DLL named: an author mends them all at once.
    const auto joined = [](const std::vector<std::string>& reasons) {
        std::string text;
        for (const std::string& each : reasons) text += (text.empty() ? "" : "; ") + each;
        return text;
    };
    if (!failures.empty()) return fail(joined(failures));
    if (!warnings.empty()) return warn(joined(warnings));
    std::string listed;
    for (const std::string& dll : image->imports()) listed += (listed.empty() ? "" : ", ") + dll;
    return pass("imports only what the host's platform has: " + (listed.empty() ? std::string("nothing") : listed));
}

// A vtable of the image: where its slots begin, and the class it is named for.
struct vtable {
    std::string name;
    std::uint32_t slots;
    int count;  // the slots before the next symbol
};

// A symbol's name without the '_' a 32-bit COFF image puts before every C and C++ name.
std::string withoutCoffPrefix(const pe_image& image, const std::string& name) {
    return image.machine() == pe_machine::x86 && name.size() > 1 && name[0] == '_' && (name[1] == '_' || name[1] == '?')
               ? name.substr(1)
               : name;
}

// The vtables among the image's symbols: g++'s (_ZTV..., slots after two words) and Visual
// C++'s (??_7..., slots at once).
std::vector<vtable> vtablesOf(const pe_image& image) {
    std::vector<vtable> tables;
    const auto word = static_cast<std::uint32_t>(image.wordSize());
    for (const nelk_image::pe_symbol& symbol : image.symbols()) {
        const std::string name = withoutCoffPrefix(image, symbol.name);
        std::uint32_t slots = 0;
        if (name.compare(0, 4, "_ZTV") == 0)
            slots = symbol.address + 2 * word;
        else if (name.compare(0, 4, "??_7") == 0)
            slots = symbol.address;
        else
            continue;
        const std::uint32_t end = image.nextSymbolAfter(symbol.address, 64 * word);
        if (end > slots) tables.push_back({name, slots, static_cast<int>((end - slots) / word)});
    }
    return tables;
}

bool isOperation(const std::string& name) {
    return name.find("8callbackEPvi") != std::string::npos || name.find("8hostSendEPKci") != std::string::npos ||
           name.find("?callback@") != std::string::npos || name.find("?hostSend@") != std::string::npos;
}
bool isDeletingDestructor(const std::string& name) {
    return name.find("18deletingDestructorEj") != std::string::npos || name.compare(0, 4, "??_G") == 0 ||
           name.compare(0, 4, "??_E") == 0;
}
bool isGnuDestructor(const std::string& name) {
    return name.find("D0Ev") != std::string::npos || name.find("D1Ev") != std::string::npos || name.find("D2Ev") != std::string::npos;
}

#if defined(NELK_HAVE_CAPSTONE)
// The bytes each "ret" of the x86 function at `address` pops, up to the next symbol.
std::vector<int> returnPops(const pe_image& image, std::uint32_t address) {
    std::vector<int> pops;
    const std::uint32_t end = image.nextSymbolAfter(address, 4096);
    const std::optional<std::string> code = image.bytesAt(address, std::min<std::uint32_t>(end - address, 65536));
    csh handle = 0;
    if (!code || cs_open(CS_ARCH_X86, CS_MODE_32, &handle) != CS_ERR_OK) return pops;
    cs_option(handle, CS_OPT_DETAIL, CS_OPT_ON);
    cs_insn* instructions = nullptr;
    const std::size_t count = cs_disasm(handle, reinterpret_cast<const std::uint8_t*>(code->data()), code->size(), address, 0,
                                        &instructions);
    for (std::size_t i = 0; i < count; ++i) {
        if (instructions[i].id != X86_INS_RET) continue;
        const cs_x86& x86 = instructions[i].detail->x86;
        pops.push_back(x86.op_count > 0 && x86.operands[0].type == X86_OP_IMM ? static_cast<int>(x86.operands[0].imm) : 0);
    }
    cs_free(instructions, count);
    cs_close(&handle);
    return pops;
}
#endif

// What is wrong with one interface vtable, or "" when slot 0 is the deleting destructor and slot
// 1 the operation (on x86 both thiscall); `checked` gets what was read of it.
std::string vtableProblem(const pe_image& image, const vtable& table, int operationSlot, std::string& checked) {
    std::vector<std::string> names;
    for (int slot = 0; slot <= operationSlot; ++slot) {
        const std::optional<std::uint32_t> target = image.pointerAt(table.slots + static_cast<std::uint32_t>(slot * image.wordSize()));
        const nelk_image::pe_symbol* function = target ? image.functionAt(*target) : nullptr;
        names.push_back(function != nullptr ? withoutCoffPrefix(image, function->name) : "an unnamed function");
    }
    const std::string owner = readableName(table.name);
    if (operationSlot != 1) {
        if (isGnuDestructor(names[0]) && isGnuDestructor(names[1]))
            return "g++'s own layout in " + owner + ": slots 0 and 1 hold its two destructors and " +
                   readableName(names[operationSlot]) + " is in slot " + std::to_string(operationSlot) +
                   ", so a Visual C++ host's first call lands on a destructor; include the framework's header "
                   "(nelk_script_helper.h) instead of declaring the interface yourself";
        return owner + " has " + readableName(names[operationSlot]) + " in slot " + std::to_string(operationSlot) +
               ", where a Visual C++ host calls slot 1";
    }
    if (!isDeletingDestructor(names[0]))
        return "slot 0 of " + owner + " is " + readableName(names[0]) + ", not the deleting destructor a Visual C++ host deletes through";
    checked = owner;
#if defined(NELK_HAVE_CAPSTONE)
    if (image.machine() == pe_machine::x86) {
        for (int slot = 0; slot < 2; ++slot) {
            const std::uint32_t target = *image.pointerAt(table.slots + static_cast<std::uint32_t>(slot * 4));
            const int expected = slot == 0 ? 4 : 8;
            for (const int popped : returnPops(image, target)) {
                if (popped != expected)
                    return "slot " + std::to_string(slot) + " of " + owner + ", " + readableName(names[slot]) + ", returns popping " +
                           std::to_string(popped) + " bytes, not " + std::to_string(expected) +
                           ": it is not thiscall, as a Visual C++ host calls it";
            }
        }
        checked += " (thiscall: its returns pop 4 and 8 bytes)";
    }
#endif
    return "";
}

check_outcome vtableLayout(const check_settings& settings) {
    check_outcome failed = pass("");
    const std::optional<pe_image> image = windowsImage(settings, failed);
    if (!image) return failed;
    if (image->symbols().empty())
        return skip("the DLL has no symbol table (stripped, or linked by Visual C++ without /debug:symtab), so its vtables "
                    "cannot be read; the battery calls them where the DLL runs");
    std::vector<std::string> problems;
    std::vector<std::string> checked;
    for (const vtable& table : vtablesOf(*image)) {
        for (int slot = 0; slot < std::min(table.count, 6); ++slot) {
            const std::optional<std::uint32_t> target = image->pointerAt(table.slots + static_cast<std::uint32_t>(slot * image->wordSize()));
            const nelk_image::pe_symbol* function = target ? image->functionAt(*target) : nullptr;
            if (function == nullptr || !isOperation(withoutCoffPrefix(*image, function->name))) continue;
            std::string read;
            const std::string problem = vtableProblem(*image, table, slot, read);
            if (!problem.empty()) problems.push_back(problem);
            if (!read.empty()) checked.push_back(read);
            break;
        }
    }
    if (!problems.empty()) return judge(problems, "");
    if (checked.empty()) return skip("found no vtable holding callback(void*, int) or hostSend among the DLL's symbols");
    std::string listed;
    for (std::size_t i = 0; i < checked.size() && i < 3; ++i) listed += (i == 0 ? "" : "; ") + checked[i];
    if (checked.size() > 3) listed += " and " + std::to_string(checked.size() - 3) + " more";
    std::string unread;
#if !defined(NELK_HAVE_CAPSTONE)
    if (image->machine() == pe_machine::x86) unread = " (the calling convention is not read: this nelk-host has no disassembler)";
#endif
    return pass("slot 0 the deleting destructor and slot 1 the operation, as a Visual C++ host calls them, in " + listed + unread);
}

#if defined(NELK_HAVE_PACKAGES)
check_outcome packageFiles(const check_settings& settings) {
    check_outcome failed = pass("");
    const std::optional<nelk_package::manifest> contents = packageManifest(settings, failed);
    if (!contents) return failed;
    namespace fs = std::filesystem;
    std::vector<std::string> problems;
    std::vector<std::string> listed;
    for (const nelk_package::packaged_file& file : contents->files) {
        listed.push_back(file.path);
        std::uint64_t size = 0;
        std::string digest;
        std::string problem;
        if (!nelk_package::digestFile((fs::path(settings.package) / file.path).string(), size, digest, problem))
            problems.push_back("the manifest lists " + file.path + ", which the package does not hold");
        else if (size != file.size || digest != file.sha256)
            problems.push_back(file.path + " does not match the manifest (" + std::to_string(size) + " bytes, SHA-256 " +
                               digest.substr(0, 12) + "..., where it says " + std::to_string(file.size) + " bytes, " +
                               file.sha256.substr(0, 12) + "...): the package was changed after it was packed");
    }
    std::error_code error;
    for (fs::recursive_directory_iterator it(settings.package, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file()) continue;
        const std::string path = fs::relative(it->path(), settings.package).generic_string();
        if (path != nelk_package::manifestName && std::find(listed.begin(), listed.end(), path) == listed.end())
            problems.push_back("the package holds " + path + ", which the manifest does not list");
    }
    const auto isListed = [&](const std::string& path) { return std::find(listed.begin(), listed.end(), path) != listed.end(); };
    if (contents->entry != entryName) problems.push_back("the manifest's entry is \"" + contents->entry + "\", not " + entryName);
    if (!isListed(contents->library)) problems.push_back("the manifest's library " + contents->library + " is not among its files");
    if (!contents->stringLibrary.empty() && !isListed(contents->stringLibrary))
        problems.push_back("the manifest's string library " + contents->stringLibrary + " is not among its files");
    return judge(problems, std::to_string(contents->files.size()) + " files, each of the size and SHA-256 the manifest gives");
}

check_outcome packageLayouts(const check_settings& settings) {
    check_outcome failed = pass("");
    const std::optional<nelk_package::manifest> contents = packageManifest(settings, failed);
    if (!contents) return failed;
    std::vector<std::string> named;
    std::string problem;
    if (!nelk_image::namedLayouts(settings.library, named, problem)) return fail(problem);
    std::vector<std::string> missing;
    for (const std::string& layout : named) {
        const bool packed = std::any_of(contents->layouts.begin(), contents->layouts.end(),
                                        [&](const std::string& path) { return fileName(path) == layout; });
        if (!packed || !std::filesystem::exists(std::filesystem::path(settings.package) / layout))
            missing.push_back(layout);
    }
    if (!missing.empty()) {
        std::string list;
        for (const std::string& each : missing) list += (list.empty() ? "" : ", ") + each;
        return fail("the library names " + list + ", which the package does not hold beside it (a host would show nothing)");
    }
    if (named.empty())
        return pass("no layout name can be read in the library's file (an optimizer may build one in code; the battery's "
                    "layout-names checks the layout \"PS\" shows where the library runs)");
    std::string list;
    for (const std::string& each : named) list += (list.empty() ? "" : ", ") + each;
    return pass("every layout the library names is beside it: " + list);
}
#else
check_outcome packageFiles(const check_settings&) { return skip("this nelk-host was built without package support (libzip)"); }
check_outcome packageLayouts(const check_settings&) { return skip("this nelk-host was built without package support (libzip)"); }
#endif

}  // namespace

check_outcome judgeExports(const std::vector<std::string>& names) {
    std::vector<std::string> others;
    bool entry = false;
    for (const std::string& name : names) {
        if (name == entryName) {
            entry = true;
        } else {
            others.push_back(name);
        }
    }
    if (!entry) return fail(std::string("the library does not export ") + entryName);
    if (others.empty()) return pass(std::string("exports ") + entryName + " and nothing else");
    std::string listed;
    for (std::size_t i = 0; i < others.size() && i < 5; ++i) listed += (i == 0 ? "" : ", ") + readableName(others[i]);
    if (others.size() > 5) listed += " and " + std::to_string(others.size() - 5) + " more";
    return fail("exports " + std::to_string(others.size()) + " names besides " + entryName + " (" + listed +
                "); hide them (a version script, or -fvisibility=hidden)");
}

std::string importProblem(const std::string& dll, bool& failure) {
    const std::string name = lowered(dll);
    failure = false;
    // The kit's documented runtime: Windows' kernel, its C runtimes (msvcrt for mingw-w64, the
    // UCRT for Visual C++), Visual C++'s own runtime that a host built with it brings, our strings.
    static const char* const documented[] = {"kernel32.dll", "msvcrt.dll", "ucrtbase.dll", "vcruntime140.dll",
                                             "vcruntime140_1.dll", "msvcp140.dll", "nelk_string.dll"};
    if (std::find(std::begin(documented), std::end(documented), name) != std::end(documented) ||
        name.compare(0, 11, "api-ms-win-") == 0)
        return "";
    static const char* const windowsOwn[] = {"user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll",
                                             "oleaut32.dll", "ws2_32.dll", "winmm.dll", "version.dll", "bcrypt.dll", "crypt32.dll",
                                             "comctl32.dll", "comdlg32.dll", "winhttp.dll", "wininet.dll", "iphlpapi.dll",
                                             "dbghelp.dll", "psapi.dll", "secur32.dll", "setupapi.dll", "rpcrt4.dll",
                                             "userenv.dll", "ntdll.dll", "imm32.dll", "uxtheme.dll", "dwmapi.dll"};
    if (std::find(std::begin(windowsOwn), std::end(windowsOwn), name) != std::end(windowsOwn))
        return dll + " is Windows' own, but outside the runtime the kit documents (KERNEL32, the C runtime, nelk_string.dll)";
    failure = true;
    if (name == "libstdc++-6.dll" || name.compare(0, 9, "libgcc_s_") == 0 || name == "libwinpthread-1.dll")
        return "needs " + dll + " at run time, mingw-w64's runtime, which the host's folder does not have: link it statically "
               "(-static-libgcc -static-libstdc++ -static, as nelk_add_component does)";
    return "needs " + dll + ", which is neither Windows' own nor the kit's: the host will not find it";
}

const std::vector<check>& imageChecks() {
    static const std::vector<check> checks = {
        {"image-machine", "a Windows DLL for x86 (the host's) or x64, or a library of the package's platform, as the manifest says",
         imageMachine},
        {"image-exports", "the library exports load_nelk_client_script, undecorated, and nothing else", imageExports},
        {"image-imports", "the DLL imports only KERNEL32, the C runtime and nelk_string.dll (Windows' own other DLLs: WARN)",
         imageImports},
        {"vtable-layout", "slot 0 the deleting destructor and slot 1 callback or hostSend, thiscall on x86, as Visual C++ lays them out",
         vtableLayout},
        {"package-files", "the package holds exactly the files its manifest lists, each of the size and SHA-256 it gives", packageFiles},
        {"package-layouts", "every layout the library names is in the package, beside it", packageLayouts},
    };
    return checks;
}

}  // namespace nelk_validator
