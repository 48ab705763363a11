// A component package's manifest.json: what the package holds and what for, every file with its
// size and SHA-256, written by `nelk-host pack` and checked by `validate` and `deploy`. Plain data
// and plain functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nelk_package {

inline const char manifestName[] = "manifest.json";

struct packaged_file {
    std::string path;    // inside the package, '/'-separated, relative
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hexadecimal
};

struct manifest {
    std::string name;          // the component's, as in its library's file name
    std::string version;
    std::string kitVersion;    // of the nelk_script_helper kit that packed it
    std::string platform;      // "windows" or "linux"
    std::string architecture;  // "x86", "x64" (Windows) or "x86_64", "i686" (Linux)
    std::string entry = "load_nelk_client_script";
    std::string library;              // the component library's path inside the package
    std::vector<std::string> layouts;  // the layouts' paths inside the package
    std::string stringLibrary;         // our nelk_string library when packed with it; "" otherwise
    std::vector<packaged_file> files;  // every file but the manifest itself
};

// The manifest as the package holds it: JSON, two-space indented, one line at the end.
std::string manifestText(const manifest& contents);
// Reads `text`; false with `problem` naming the first field that is missing or of the wrong type.
bool readManifest(const std::string& text, manifest& contents, std::string& problem);

// The size and SHA-256 of the file at `path`; false with `problem` set when it cannot be read.
bool digestFile(const std::string& path, std::uint64_t& size, std::string& sha256, std::string& problem);

// The package's file name: NAME-VERSION-ARCH.zip, ARCH being "x86" or "x64" for Windows and
// "linux-x86_64" (the platform before the architecture) for Linux.
std::string packageFileName(const manifest& contents);

}  // namespace nelk_package
