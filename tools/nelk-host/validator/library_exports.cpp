#include "library_exports.h"

#include <cstring>
#include <fstream>
#include <iterator>

#if !defined(_WIN32)
#include <elf.h>
#endif

#include "image/pe_image.h"

namespace nelk_validator {

namespace {

#if !defined(_WIN32)
bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return false;
    bytes.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    return true;
}

// A structure of type T at `offset`, when the file holds it whole.
template <typename T> bool at(const std::string& bytes, unsigned long long offset, T& value) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

// A zero-terminated name at `offset`, within the file.
std::string nameAt(const std::string& bytes, unsigned long long offset) {
    if (offset >= bytes.size()) return "";
    const char* start = bytes.data() + offset;
    const void* end = std::memchr(start, '\0', bytes.size() - offset);
    return end != nullptr ? std::string(start, static_cast<const char*>(end)) : std::string();
}

template <typename Header, typename Section, typename Symbol>
bool elfExports(const std::string& bytes, std::vector<std::string>& names, std::string& problem) {
    Header header;
    if (!at(bytes, 0, header)) {
        problem = "the file is too short for an ELF header";
        return false;
    }
    for (unsigned index = 0; index < header.e_shnum; ++index) {
        Section table;
        if (!at(bytes, header.e_shoff + static_cast<unsigned long long>(index) * header.e_shentsize, table)) break;
        if (table.sh_type != SHT_DYNSYM || table.sh_entsize == 0) continue;
        Section strings;
        if (!at(bytes, header.e_shoff + static_cast<unsigned long long>(table.sh_link) * header.e_shentsize, strings)) break;
        for (unsigned long long offset = 0; offset + table.sh_entsize <= table.sh_size; offset += table.sh_entsize) {
            Symbol symbol;
            if (!at(bytes, table.sh_offset + offset, symbol)) break;
            const unsigned binding = symbol.st_info >> 4;
            const unsigned type = symbol.st_info & 0xf;
            const unsigned visibility = symbol.st_other & 0x3;
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0) continue;
            if (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE) continue;
            if (type == STT_SECTION || type == STT_FILE) continue;
            if (visibility != STV_DEFAULT && visibility != STV_PROTECTED) continue;
            names.push_back(nameAt(bytes, strings.sh_offset + symbol.st_name));
        }
        return true;
    }
    problem = "the library has no dynamic symbol table";
    return false;
}
#endif

}  // namespace

bool exportedNames(const std::string& path, std::vector<std::string>& names, std::string& problem) {
    if (nelk_image::pe_image::looksLike(path)) {
        const std::optional<nelk_image::pe_image> image = nelk_image::pe_image::read(path, problem);
        if (!image) return false;
        names = image->exports();
        return true;
    }
#if defined(_WIN32)
    problem = "the file is not a Windows library (no PE header)";
    return false;
#else
    std::string bytes;
    if (!readFile(path, bytes)) {
        problem = "cannot read " + path;
        return false;
    }
    if (bytes.size() < EI_NIDENT || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0) {
        problem = "the file is not an ELF library";
        return false;
    }
    if (bytes[EI_CLASS] == ELFCLASS64) return elfExports<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(bytes, names, problem);
    return elfExports<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(bytes, names, problem);
#endif
}

}  // namespace nelk_validator
