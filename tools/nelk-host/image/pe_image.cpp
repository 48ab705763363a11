#include "pe_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace nelk_image {

namespace {

// The format's own numbers, under the names its documentation gives them, for a reader who knows them.
const std::uint16_t machineI386 = 0x14c;
const std::uint16_t machineAmd64 = 0x8664;
const std::uint16_t characteristicDll = 0x2000;
const std::uint16_t optionalPe32 = 0x10b;
const std::uint16_t optionalPe32Plus = 0x20b;
const int directoryExport = 0;
const int directoryImport = 1;
const int directoryDelayImport = 13;
const std::size_t symbolSize = 18;

// A little-endian number of type T at `offset` of `bytes`, when the bytes hold it whole.
template <typename T> std::optional<T> number(const std::string& bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<T>(value | static_cast<T>(static_cast<T>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i)));
    return value;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return false;
    bytes.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    return !input.bad();
}

// Where the PE signature lies, when the file has a DOS header pointing at one.
std::optional<std::uint32_t> signatureOffset(const std::string& bytes) {
    if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0) return std::nullopt;
    const std::optional<std::uint32_t> at = number<std::uint32_t>(bytes, 60);
    if (!at || *at > bytes.size() || bytes.size() - *at < 4 || bytes.compare(*at, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    return at;
}

}  // namespace

const char* machineName(pe_machine machine) noexcept {
    switch (machine) {
    case pe_machine::x86: return "x86";
    case pe_machine::x64: return "x64";
    case pe_machine::other: break;
    }
    return "other";
}

bool pe_image::looksLike(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    std::string head(4096, '\0');
    input.read(&head[0], static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(input.gcount()));
    return signatureOffset(head).has_value();
}

std::optional<pe_image> pe_image::read(const std::string& path, std::string& problem) {
    pe_image image;
    if (!readFile(path, image.bytes_)) {
        problem = "cannot read " + path;
        return std::nullopt;
    }
    if (!image.parse(problem)) return std::nullopt;
    return image;
}

bool pe_image::readSections(std::uint64_t table, std::uint16_t count, std::string& problem) {
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint64_t header = table + 40ULL * i;
        const auto size = number<std::uint32_t>(bytes_, header + 8);
        const auto address = number<std::uint32_t>(bytes_, header + 12);
        const auto fileSize = number<std::uint32_t>(bytes_, header + 16);
        const auto fileAt = number<std::uint32_t>(bytes_, header + 20);
        if (!size || !address || !fileSize || !fileAt) {
            problem = "the section table runs past the end of the file";
            return false;
        }
        sections_.push_back({*address, std::max(*size, *fileSize), *fileAt, *fileSize});
    }
    return true;
}

void pe_image::readDelayImports(std::uint32_t table) {
    // Delay-loaded DLLs are needed at run time as much as the others.
    for (std::uint32_t entry = table; entry != 0; entry += 32) {
        const std::optional<std::uint64_t> at = fileOffset(entry);
        const auto name = at ? number<std::uint32_t>(bytes_, *at + 4) : std::nullopt;
        if (!name || *name == 0) break;
        imports_.push_back(nameAt(*name));
    }
}

bool pe_image::parse(std::string& problem) {
    const std::optional<std::uint32_t> signature = signatureOffset(bytes_);
    if (!signature) {
        problem = "not a Windows image (no PE header)";
        return false;
    }
    const std::uint64_t file = *signature + 4;
    const auto machine = number<std::uint16_t>(bytes_, file);
    const auto sectionCount = number<std::uint16_t>(bytes_, file + 2);
    const auto symbolTable = number<std::uint32_t>(bytes_, file + 8);
    const auto symbolCount = number<std::uint32_t>(bytes_, file + 12);
    const auto optionalSize = number<std::uint16_t>(bytes_, file + 16);
    const auto characteristics = number<std::uint16_t>(bytes_, file + 18);
    const std::uint64_t optional = file + 20;
    const auto magic = number<std::uint16_t>(bytes_, optional);
    if (!machine || !sectionCount || !symbolTable || !symbolCount || !optionalSize || !characteristics || !magic ||
        (*magic != optionalPe32 && *magic != optionalPe32Plus)) {
        problem = "the PE headers are cut short or unknown";
        return false;
    }
    machineCode_ = *machine;
    machine_ = *machine == machineI386 ? pe_machine::x86 : *machine == machineAmd64 ? pe_machine::x64 : pe_machine::other;
    dll_ = (*characteristics & characteristicDll) != 0;
    const bool plus = *magic == optionalPe32Plus;
    const std::optional<std::uint64_t> base =
        plus ? number<std::uint64_t>(bytes_, optional + 24) : std::optional<std::uint64_t>(number<std::uint32_t>(bytes_, optional + 28));
    const auto directoryCount = number<std::uint32_t>(bytes_, optional + (plus ? 108 : 92));
    if (!base || !directoryCount) {
        problem = "the PE optional header is cut short";
        return false;
    }
    imageBase_ = *base;
    const std::uint64_t directories = optional + (plus ? 112 : 96);
    const auto directory = [&](int index) -> std::uint32_t {
        if (static_cast<std::uint32_t>(index) >= *directoryCount || directories + 8 * (index + 1) > optional + *optionalSize) return 0;
        return number<std::uint32_t>(bytes_, directories + 8 * index).value_or(0);
    };
    if (!readSections(optional + *optionalSize, *sectionCount, problem)) return false;
    if (!readExports(directory(directoryExport), problem) || !readImports(directory(directoryImport), problem)) return false;
    readDelayImports(directory(directoryDelayImport));
    readSymbols(*symbolTable, *symbolCount);
    return true;
}

std::optional<std::uint64_t> pe_image::fileOffset(std::uint32_t address) const noexcept {
    for (const section& each : sections_) {
        if (address < each.address || address - each.address >= each.size) continue;
        if (address - each.address >= each.fileSize) return std::nullopt;  // zero-filled by the loader
        return static_cast<std::uint64_t>(each.fileOffset) + (address - each.address);
    }
    return std::nullopt;
}

std::string pe_image::nameAt(std::uint32_t address) const {
    const std::optional<std::uint64_t> at = fileOffset(address);
    if (!at || *at >= bytes_.size()) return "";
    const std::size_t end = bytes_.find('\0', *at);
    return bytes_.substr(*at, end == std::string::npos ? std::string::npos : end - *at);
}

bool pe_image::readExports(std::uint32_t address, std::string& problem) {
    if (address == 0) return true;  // exports nothing
    const std::optional<std::uint64_t> at = fileOffset(address);
    const auto count = at ? number<std::uint32_t>(bytes_, *at + 24) : std::nullopt;
    const auto names = at ? number<std::uint32_t>(bytes_, *at + 32) : std::nullopt;
    if (!count || !names) {
        problem = "the export table cannot be read";
        return false;
    }
    const std::optional<std::uint64_t> table = *count > 0 ? fileOffset(*names) : std::optional<std::uint64_t>(0);
    for (std::uint32_t i = 0; table && i < *count; ++i) {
        const auto name = number<std::uint32_t>(bytes_, *table + 4ULL * i);
        if (!name) {
            problem = "the export table's names run past the end of the file";
            return false;
        }
        exports_.push_back(nameAt(*name));
    }
    return true;
}

bool pe_image::readImports(std::uint32_t address, std::string& problem) {
    if (address == 0) return true;  // imports nothing
    for (std::uint32_t entry = address;; entry += 20) {
        const std::optional<std::uint64_t> at = fileOffset(entry);
        const auto lookup = at ? number<std::uint32_t>(bytes_, *at) : std::nullopt;
        const auto name = at ? number<std::uint32_t>(bytes_, *at + 12) : std::nullopt;
        const auto thunks = at ? number<std::uint32_t>(bytes_, *at + 16) : std::nullopt;
        if (!lookup || !name || !thunks) {
            problem = "the import table runs past the end of the file";
            return false;
        }
        if (*lookup == 0 && *name == 0 && *thunks == 0) return true;
        imports_.push_back(nameAt(*name));
    }
}

void pe_image::readSymbols(std::uint32_t tableOffset, std::uint32_t count) {
    if (tableOffset == 0 || count == 0) return;
    const std::uint64_t strings = tableOffset + static_cast<std::uint64_t>(count) * symbolSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = tableOffset + static_cast<std::uint64_t>(i) * symbolSize;
        const auto value = number<std::uint32_t>(bytes_, at + 8);
        const auto sectionNumber = number<std::uint16_t>(bytes_, at + 12);
        const auto type = number<std::uint16_t>(bytes_, at + 14);
        const auto auxiliary = number<std::uint8_t>(bytes_, at + 17);
        if (!value || !sectionNumber || !type || !auxiliary) return;
        i += *auxiliary;
        const auto section = static_cast<std::int16_t>(*sectionNumber);
        if (section < 1 || static_cast<std::size_t>(section) > sections_.size()) continue;
        std::string name;
        if (number<std::uint32_t>(bytes_, at).value_or(1) == 0) {
            const std::uint64_t offset = strings + number<std::uint32_t>(bytes_, at + 4).value_or(0);
            if (offset >= bytes_.size()) continue;
            name = bytes_.substr(offset, bytes_.find('\0', offset) - offset);
        } else {
            name = bytes_.substr(at, 8);
            name.resize(std::strlen(name.c_str()));
        }
        symbols_.push_back({sections_[section - 1].address + *value, name, (*type >> 4) == 2});
    }
    std::stable_sort(symbols_.begin(), symbols_.end(), [](const pe_symbol& a, const pe_symbol& b) { return a.address < b.address; });
}

std::optional<std::string> pe_image::bytesAt(std::uint32_t address, std::size_t count) const {
    const std::optional<std::uint64_t> start = fileOffset(address);
    if (!start || count == 0) return count == 0 ? std::optional<std::string>("") : std::nullopt;
    const std::optional<std::uint64_t> last = fileOffset(static_cast<std::uint32_t>(address + count - 1));
    if (!last || *last != *start + count - 1 || *last >= bytes_.size()) return std::nullopt;
    return bytes_.substr(*start, count);
}

std::optional<std::uint32_t> pe_image::pointerAt(std::uint32_t address) const {
    const std::optional<std::uint64_t> at = fileOffset(address);
    if (!at) return std::nullopt;
    const std::optional<std::uint64_t> value = wordSize() == 8 ? number<std::uint64_t>(bytes_, *at)
                                                               : std::optional<std::uint64_t>(number<std::uint32_t>(bytes_, *at));
    if (!value || *value < imageBase_ || *value - imageBase_ > 0xffffffffULL) return std::nullopt;
    return static_cast<std::uint32_t>(*value - imageBase_);
}

const pe_symbol* pe_image::functionAt(std::uint32_t address) const noexcept {
    auto found = std::lower_bound(symbols_.begin(), symbols_.end(), address,
                                  [](const pe_symbol& each, std::uint32_t at) { return each.address < at; });
    for (; found != symbols_.end() && found->address == address; ++found) {
        if (found->function) return &*found;
    }
    return nullptr;
}

std::uint32_t pe_image::nextSymbolAfter(std::uint32_t address, std::uint32_t fallback) const noexcept {
    auto found = std::upper_bound(symbols_.begin(), symbols_.end(), address,
                                  [](std::uint32_t at, const pe_symbol& each) { return at < each.address; });
    return found != symbols_.end() ? found->address : address + fallback;
}

}  // namespace nelk_image
