#include "fuzzing/library_texts.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace nelk_fuzzing {

namespace {

// The bytes of the section named `wanted` of a 64-bit little-endian ELF image, or empty.
std::string sectionOf(const std::string& image, const char* wanted) {
    Elf64_Ehdr header{};
    if (image.size() < sizeof header || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0 || image[EI_CLASS] != ELFCLASS64)
        return "";
    std::memcpy(&header, image.data(), sizeof header);
    const auto sectionAt = [&](std::size_t index, Elf64_Shdr& section) {
        const std::size_t at = header.e_shoff + index * sizeof(Elf64_Shdr);
        if (header.e_shentsize != sizeof(Elf64_Shdr) || at + sizeof section > image.size()) return false;
        std::memcpy(&section, image.data() + at, sizeof section);
        return true;
    };
    Elf64_Shdr names{};
    if (!sectionAt(header.e_shstrndx, names) || names.sh_offset >= image.size()) return "";
    for (std::size_t index = 0; index < header.e_shnum; ++index) {
        Elf64_Shdr section{};
        if (!sectionAt(index, section)) return "";
        const std::size_t name = names.sh_offset + section.sh_name;
        if (name >= image.size() || std::strncmp(image.data() + name, wanted, image.size() - name) != 0) continue;
        if (section.sh_offset > image.size() || section.sh_size > image.size() - section.sh_offset) return "";
        return image.substr(section.sh_offset, section.sh_size);
    }
    return "";
}

bool printable(char byte) { return byte >= 0x20 && byte < 0x7f; }

}  // namespace

std::vector<std::string> libraryTexts(const std::string& path, std::size_t shortest, std::size_t most) {
    std::ifstream input(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    const std::string data = sectionOf(image, ".rodata");
    std::vector<std::string> texts;
    std::size_t start = 0;
    for (std::size_t at = 0; at < data.size() && texts.size() < most; ++at) {
        if (printable(data[at])) continue;
        if (data[at] == '\0' && at - start >= shortest) texts.push_back(data.substr(start, at - start));
        start = at + 1;
    }
    return texts;
}

}  // namespace nelk_fuzzing
