// A Windows image (PE: a DLL or a program) read from its file, on any platform, without loading
// it: what a host sees before it calls anything, the machine it is for, what it exports and
// imports, and the COFF symbol table where the linker kept one. Plain data; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nelk_image {

enum class pe_machine { x86, x64, other };

// "x86", "x64" or "other": the names a package's manifest uses.
const char* machineName(pe_machine machine) noexcept;

struct pe_symbol {
    std::uint32_t address;  // where it lies in the loaded image, relative to its base
    std::string name;       // as the linker wrote it (a 32-bit image's C and C++ names begin with '_')
    bool function;
};

class pe_image {
public:
    // The image in the file at `path`; nullopt with `problem` set when the file cannot be read or
    // is no PE image, or its tables run past its end.
    static std::optional<pe_image> read(const std::string& path, std::string& problem);
    // Whether the file begins as a PE image does ("MZ", then the PE signature where it points).
    static bool looksLike(const std::string& path);

    pe_machine machine() const noexcept { return machine_; }
    std::uint16_t machineCode() const noexcept { return machineCode_; }
    bool isDll() const noexcept { return dll_; }
    std::uint64_t imageBase() const noexcept { return imageBase_; }
    int wordSize() const noexcept { return machine_ == pe_machine::x64 ? 8 : 4; }
    // The names the export table gives, in its order.
    const std::vector<std::string>& exports() const noexcept { return exports_; }
    // The DLLs the import table names, in its order, as written.
    const std::vector<std::string>& imports() const noexcept { return imports_; }
    // The COFF symbols that lie in a section, by address; empty for a stripped image.
    const std::vector<pe_symbol>& symbols() const noexcept { return symbols_; }

    // `count` bytes at `address` (relative to the base), or nullopt when the file does not hold
    // them all (memory the loader zero-fills included).
    std::optional<std::string> bytesAt(std::uint32_t address, std::size_t count) const;
    // The pointer-sized word at `address`, made relative to the base; nullopt as above or when
    // it points below the base.
    std::optional<std::uint32_t> pointerAt(std::uint32_t address) const;
    // The function symbol at exactly `address`; null when there is none.
    const pe_symbol* functionAt(std::uint32_t address) const noexcept;
    // The address of the next symbol after `address`, or `address` + `fallback`.
    std::uint32_t nextSymbolAfter(std::uint32_t address, std::uint32_t fallback) const noexcept;

private:
    struct section {
        std::uint32_t address, size, fileOffset, fileSize;
    };
    bool parse(std::string& problem);
    std::optional<std::uint64_t> fileOffset(std::uint32_t address) const noexcept;
    std::string nameAt(std::uint32_t address) const;
    bool readExports(std::uint32_t address, std::string& problem);
    bool readImports(std::uint32_t address, std::string& problem);
    // The `count` section headers at file offset `table`; false with `problem` when they run past the end.
    bool readSections(std::uint64_t table, std::uint16_t count, std::string& problem);
    // The names of the delay-loaded DLLs listed at address `table` (0: none) added to the imports.
    void readDelayImports(std::uint32_t table);
    void readSymbols(std::uint32_t tableOffset, std::uint32_t count);

    std::string bytes_;
    pe_machine machine_ = pe_machine::other;
    std::uint16_t machineCode_ = 0;
    bool dll_ = false;
    std::uint64_t imageBase_ = 0;
    std::vector<section> sections_;
    std::vector<std::string> exports_;
    std::vector<std::string> imports_;
    std::vector<pe_symbol> symbols_;
};

}  // namespace nelk_image
