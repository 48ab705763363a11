#include "ship/packing.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "image/named_layouts.h"
#include "image/pe_image.h"
#include "package/package_archive.h"
#include "validator/image_checks.h"

#ifndef NELK_KIT_VERSION
#define NELK_KIT_VERSION "0"
#endif

namespace nelk_package {

namespace {

namespace fs = std::filesystem;

// What the package is made of, before it is staged.
struct component_parts {
    std::string name;
    std::string version;
    std::string library;
    std::vector<std::string> layouts;
    std::string stringLibrary;
};

std::string readAll(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
}

// A version as a file name may hold it.
bool plainVersion(const std::string& version) {
    return !version.empty() && version.size() <= 64 && version.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.+_~") == std::string::npos;
}

// The component of a build: the description nelk_add_component wrote into nelk-components/.
bool fromBuild(const pack_request& request, component_parts& parts, std::string& problem) {
    const fs::path folder = fs::path(request.source) / "nelk-components";
    std::vector<fs::path> descriptions;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".json") descriptions.push_back(it->path());
    }
    std::sort(descriptions.begin(), descriptions.end());
    if (descriptions.empty()) {
        problem = request.source + " holds no component description (nelk-components/NAME.json): configure and build the "
                  "project there first; nelk_add_component writes one for each component";
        return false;
    }
    std::vector<std::string> names;
    for (const fs::path& each : descriptions) names.push_back(each.stem().string());
    std::string chosen = request.name;
    if (chosen.empty() && names.size() == 1) chosen = names.front();
    if (std::find(names.begin(), names.end(), chosen) == names.end()) {
        std::string listed;
        for (const std::string& each : names) listed += (listed.empty() ? "" : ", ") + each;
        problem = (chosen.empty() ? "the build holds several components (" : "the build has no component " + chosen + " (it holds ") +
                  listed + "): give one with --name";
        return false;
    }
    const nlohmann::json description = nlohmann::json::parse(readAll(folder / (chosen + ".json")), nullptr, false);
    if (description.is_discarded() || !description.is_object() || !description.value("library", nlohmann::json()).is_string()) {
        problem = "the description of " + chosen + " in " + folder.string() + " cannot be read: build the project again";
        return false;
    }
    parts.name = chosen;
    parts.version = request.version.empty() ? description.value("version", "") : request.version;
    parts.library = description.value("library", "");
    parts.stringLibrary = description.value("string_library", "");
    for (const nlohmann::json& layout : description.value("layouts", nlohmann::json::array())) {
        if (!layout.is_string()) continue;
        // The copy beside the library, as the build left it for a host, else the source.
        const fs::path beside = fs::path(parts.library).parent_path() / fs::path(layout.get<std::string>()).filename();
        parts.layouts.push_back(fs::exists(beside, error) ? beside.string() : layout.get<std::string>());
    }
    return true;
}

// A library alone: its name from its file, its layouts those it names found beside it.
bool fromLibrary(const pack_request& request, component_parts& parts, std::string& problem) {
    parts.library = request.source;
    std::string stem = fs::path(request.source).stem().string();
    if (!nelk_image::pe_image::looksLike(request.source) && stem.compare(0, 3, "lib") == 0) stem.erase(0, 3);
    parts.name = request.name.empty() ? stem : request.name;
    parts.version = request.version;
    if (parts.version.empty()) {
        problem = "give the version of " + parts.name + " with --version (a build's description gives its own)";
        return false;
    }
    std::vector<std::string> named;
    if (!nelk_image::namedLayouts(request.source, named, problem)) return false;
    std::error_code error;
    for (const std::string& layout : named) {
        const fs::path beside = fs::path(request.source).parent_path() / layout;
        if (fs::exists(beside, error)) parts.layouts.push_back(beside.string());
    }
    const fs::path strings = fs::path(request.source).parent_path() /
                             (nelk_image::pe_image::looksLike(request.source) ? "nelk_string.dll" : "libnelk_string.so");
    if (fs::exists(strings, error)) parts.stringLibrary = strings.string();
    return true;
}

// The platform and architecture the library is for, as a manifest names them.
bool platformOf(const std::string& library, manifest& contents, std::string& problem) {
    if (nelk_image::pe_image::looksLike(library)) {
        const std::optional<nelk_image::pe_image> image = nelk_image::pe_image::read(library, problem);
        if (!image) return false;
        contents.platform = "windows";
        contents.architecture = nelk_image::machineName(image->machine());
        return true;
    }
    const std::string head = readAll(library).substr(0, 20);
    if (head.size() < 20 || head.compare(0, 4, "\177ELF") != 0) {
        problem = library + " is neither a Windows DLL nor an ELF library";
        return false;
    }
    const int machine = static_cast<unsigned char>(head[18]) | (static_cast<unsigned char>(head[19]) << 8);
    contents.platform = "linux";
    contents.architecture = machine == 62 ? "x86_64" : machine == 3 ? "i686" : "machine-" + std::to_string(machine);
    return true;
}

// Copies `from` into the staging folder as `name` and lists it with its digest.
bool stage(const std::string& from, const std::string& name, const fs::path& staging, manifest& contents, std::string& problem) {
    std::error_code error;
    fs::copy_file(from, staging / name, fs::copy_options::overwrite_existing, error);
    if (error) {
        problem = "cannot copy " + from + ": " + error.message();
        return false;
    }
    packaged_file file;
    file.path = name;
    if (!digestFile((staging / name).string(), file.size, file.sha256, problem)) return false;
    contents.files.push_back(file);
    return true;
}

}  // namespace

pack_result pack(const pack_request& request, const std::string& scratch) {
    pack_result result;
    component_parts parts;
    std::error_code error;
    const bool isBuild = fs::is_directory(request.source, error);
    if (!(isBuild ? fromBuild(request, parts, result.problem) : fromLibrary(request, parts, result.problem))) return result;
    if (!fs::is_regular_file(parts.library, error)) {
        result.problem = "the library " + parts.library + " is not there: build the project first";
        return result;
    }
    if (!plainVersion(parts.version)) {
        result.problem = "the version \"" + parts.version + "\" cannot stand in a file name (letters, digits and . + _ ~ only)";
        return result;
    }
    manifest& contents = result.contents;
    contents.name = parts.name;
    contents.version = parts.version;
    contents.kitVersion = NELK_KIT_VERSION;
    if (!platformOf(parts.library, contents, result.problem)) return result;
    for (const std::string& layout : request.layouts) {
        if (!fs::is_regular_file(layout, error)) {
            result.problem = "--layout " + layout + ": no such file";
            return result;
        }
        parts.layouts.push_back(layout);
    }
    const fs::path staging(scratch);
    contents.library = fs::path(parts.library).filename().string();
    if (!stage(parts.library, contents.library, staging, contents, result.problem)) return result;
    for (const std::string& layout : parts.layouts) {
        const std::string name = fs::path(layout).filename().string();
        if (std::find(contents.layouts.begin(), contents.layouts.end(), name) != contents.layouts.end()) continue;
        if (!stage(layout, name, staging, contents, result.problem)) return result;
        contents.layouts.push_back(name);
    }
    if (request.withStringLibrary) {
        if (parts.stringLibrary.empty() || !fs::is_regular_file(parts.stringLibrary, error)) {
            result.problem = "--with-string-library: no nelk_string library beside " + parts.library;
            return result;
        }
        contents.stringLibrary = fs::path(parts.stringLibrary).filename().string();
        if (!stage(parts.stringLibrary, contents.stringLibrary, staging, contents, result.problem)) return result;
    }
    std::ofstream(staging / manifestName, std::ios::binary) << manifestText(contents);
    // What validate checks first, on what would be written.
    nelk_validator::check_settings settings{(staging / contents.library).string(), 1, 1, "", true, scratch, scratch};
    for (const nelk_validator::check& each : nelk_validator::imageChecks()) {
        const nelk_validator::check_outcome outcome = nelk_validator::runHere(each, settings);
        if (nelk_validator::isFailure(outcome.status)) result.failures.push_back(std::string(each.id) + ": " + outcome.reason);
        if (outcome.status == nelk_validator::check_status::warn) result.warnings.push_back(std::string(each.id) + ": " + outcome.reason);
    }
    if (!result.failures.empty()) return result;
    std::vector<archive_entry> entries;
    for (const packaged_file& file : contents.files) entries.push_back({file.path, (staging / file.path).string(), ""});
    entries.push_back({manifestName, "", manifestText(contents)});
    fs::create_directories(request.outputFolder, error);
    result.path = (fs::path(request.outputFolder) / packageFileName(contents)).string();
    result.written = writeArchive(result.path, entries, result.problem);
    return result;
}

}  // namespace nelk_package
