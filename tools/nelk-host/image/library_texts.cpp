#include "image/library_texts.h"

#include <elf.h>

#include <cstdio>
#include <cstring>

namespace nelk_image {

namespace {

// The bytes of the section named `wanted` of an ELF image of the class of `Header`/`Section`
// (32 or 64 bits, this machine's byte order), or empty.
template <typename Header, typename Section>
std::string sectionOf(const std::string& image, const char* wanted) {
    Header header{};
    if (image.size() < sizeof header) return "";
    std::memcpy(&header, image.data(), sizeof header);
    const auto sectionAt = [&](std::size_t index, Section& section) {
        const std::size_t at = header.e_shoff + index * sizeof(Section);
        if (header.e_shentsize != sizeof(Section) || header.e_shoff > image.size() || at + sizeof section > image.size())
            return false;
        std::memcpy(&section, image.data() + at, sizeof section);
        return true;
    };
    Section names{};
    if (!sectionAt(header.e_shstrndx, names) || names.sh_offset >= image.size()) return "";
    for (std::size_t index = 0; index < header.e_shnum; ++index) {
        Section section{};
        if (!sectionAt(index, section)) return "";
        const std::size_t name = names.sh_offset + section.sh_name;
        if (name >= image.size() || std::strncmp(image.data() + name, wanted, image.size() - name) != 0) continue;
        if (section.sh_offset > image.size() || section.sh_size > image.size() - section.sh_offset) return "";
        return image.substr(section.sh_offset, section.sh_size);
    }
    return "";
}

std::string sectionOf(const std::string& image, const char* wanted) {
    if (image.size() < EI_NIDENT || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0) return "";
    if (image[EI_CLASS] == ELFCLASS64) return sectionOf<Elf64_Ehdr, Elf64_Shdr>(image, wanted);
    if (image[EI_CLASS] == ELFCLASS32) return sectionOf<Elf32_Ehdr, Elf32_Shdr>(image, wanted);
    return "";
}

bool printable(char byte) { return byte >= 0x20 && byte < 0x7f; }

// The file's bytes, or as many as could be read: a read that fails ends the text, it throws nothing.
std::string fileBytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char buffer[1 << 16];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

// Calls `each` with every text of the library's .rodata of at least `shortest` bytes, until it
// returns false.
template <typename Each>
void forEachText(const std::string& path, std::size_t shortest, const Each& each) {
    const std::string data = sectionOf(fileBytes(path), ".rodata");
    std::size_t start = 0;
    for (std::size_t at = 0; at < data.size(); ++at) {
        if (printable(data[at])) continue;
        if (data[at] == '\0' && at - start >= shortest && !each(data.substr(start, at - start))) return;
        start = at + 1;
    }
}

}  // namespace

std::vector<std::string> libraryTexts(const std::string& path, std::size_t shortest, std::size_t most) {
    std::vector<std::string> texts;
    forEachText(path, shortest, [&](const std::string& text) {
        texts.push_back(text);
        return texts.size() < most;
    });
    return texts;
}

std::string libraryTextAfter(const std::string& path, const std::string& prefix) {
    std::string found;
    forEachText(path, prefix.size(), [&](const std::string& text) {
        if (text.rfind(prefix, 0) == 0) found = text.substr(prefix.size());
        return found.empty();
    });
    return found;
}

}  // namespace nelk_image
