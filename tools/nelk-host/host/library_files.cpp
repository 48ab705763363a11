#include "library_files.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#if !defined(_WIN32)
#include <elf.h>
#include <unistd.h>
#endif

#include "process/process_guard.h"

namespace nelk_host_tool {

namespace {

#if !defined(_WIN32)
// The ELF machine of this program, read from its own image.
int ownMachine() {
    static const int machine = [] {
        std::ifstream self("/proc/self/exe", std::ios::binary);
        unsigned char header[20] = {};
        self.read(reinterpret_cast<char*>(header), sizeof header);
        return self ? header[18] | header[19] << 8 : -1;
    }();
    return machine;
}

template <typename Header> bool sectionsInside(std::ifstream& file, std::uintmax_t size, std::string& problem) {
    Header header{};
    file.seekg(0);
    file.read(reinterpret_cast<char*>(&header), sizeof header);
    if (!file) {
        problem = "its ELF header is cut short";
        return false;
    }
    if (header.e_type != ET_DYN) {
        problem = "it is not a shared library";
        return false;
    }
    if (static_cast<int>(header.e_machine) != ownMachine()) {
        problem = "it is built for another machine than nelk-host";
        return false;
    }
    const std::uintmax_t sectionsEnd = header.e_shoff + static_cast<std::uintmax_t>(header.e_shnum) * header.e_shentsize;
    if (header.e_shoff == 0 || sectionsEnd > size) {
        problem = "it ends before its sections do (" + std::to_string(size) + " of " + std::to_string(sectionsEnd) +
                  " bytes): a linker may still be writing it";
        return false;
    }
    return true;
}
#endif

std::atomic<int> copies{0};

}  // namespace

bool libraryComplete(const std::string& path, std::string& problem) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        problem = "it cannot be read: " + error.message();
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    unsigned char magic[16] = {};  // an ELF identification, or the start of a PE image
    file.read(reinterpret_cast<char*>(magic), sizeof magic);
    if (!file) {
        problem = "it is too short to be a library (" + std::to_string(size) + " bytes)";
        return false;
    }
#if defined(_WIN32)
    if (magic[0] != 'M' || magic[1] != 'Z') {
        problem = "it is not a Windows library";
        return false;
    }
    return true;
#else
    if (std::memcmp(magic, ELFMAG, SELFMAG) != 0) {
        problem = "it is not an ELF library";
        return false;
    }
    if (magic[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32)) {
        problem = std::string("it is a ") + (magic[EI_CLASS] == ELFCLASS64 ? "64" : "32") + "-bit library; nelk-host is " +
                  std::to_string(sizeof(void*) * 8) + "-bit";
        return false;
    }
    return magic[EI_CLASS] == ELFCLASS64 ? sectionsInside<Elf64_Ehdr>(file, size, problem)
                                         : sectionsInside<Elf32_Ehdr>(file, size, problem);
#endif
}

std::shared_ptr<nelk_test_kit::component_library> openPrivateCopy(const std::string& path) {
    const nelk_process_guard::component_code library;  // its static initialisers are the component's code
#if defined(_WIN32)
    return std::make_shared<nelk_test_kit::component_library>(path);
#else
    namespace fs = std::filesystem;
    const fs::path original(path);
    const fs::path copy = original.parent_path() / (".nelk-host-" + std::to_string(getpid()) + "-" +
                                                    std::to_string(++copies) + "-" + original.filename().string());
    std::error_code error;
    if (!fs::copy_file(original, copy, fs::copy_options::overwrite_existing, error)) {
        // No room beside it (a read-only folder): the file itself, as a host opens it.
        return std::make_shared<nelk_test_kit::component_library>(path);
    }
    auto opened = std::make_shared<nelk_test_kit::component_library>(path, copy.string());
    fs::remove(copy, error);  // what is loaded stays loaded; nothing is left behind
    return opened;
#endif
}

std::string fileStamp(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    if (error) return "";
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return "";
    return std::to_string(size) + "@" + std::to_string(time.time_since_epoch().count());
}

std::string resolvedLibraryPath(const std::string& directory, const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path given(path);
    const std::filesystem::path placed = given.is_absolute() || directory.empty() ? given : std::filesystem::path(directory) / given;
    const std::filesystem::path absolute = std::filesystem::absolute(placed, error);
    return error ? placed.string() : absolute.lexically_normal().string();
}

}  // namespace nelk_host_tool
