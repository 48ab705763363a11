#include "validation_target.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/pe_image.h"
#include "package/kit_parts.h"
#if defined(NELK_HAVE_PACKAGES)
#include "package/package_archive.h"
#include "package/package_manifest.h"
#endif

namespace nelk_validator {

namespace {

using nelk_image::pe_machine;

bool isZip(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    char head[4] = {};
    return input.read(head, sizeof head) && std::string(head, 4) == std::string("PK\3\4", 4);
}

pe_machine ownMachine() { return sizeof(void*) == 8 ? pe_machine::x64 : pe_machine::x86; }

// How the battery runs on the Windows DLL `library` of `machine`.
void chooseBattery(validation_target& target, pe_machine machine) {
#if defined(_WIN32)
    if (machine == ownMachine()) return;  // here
    target.mode = battery_mode::cannot;
    target.cannot = std::string("the DLL is for ") + nelk_image::machineName(machine) + " and this nelk-host.exe for " +
                    nelk_image::machineName(ownMachine()) + ": validate it with the kit's other nelk-host.exe";
#else
    (void)ownMachine;
    std::string problem;
    std::vector<std::string> command = nelk_package::windowsProgramRunner(machine, problem);
    const std::string host = command.empty() ? "" : nelk_package::windowsHost(machine, problem);
    if (command.empty() || host.empty()) {
        target.mode = battery_mode::cannot;
        target.cannot = "the battery cannot run an " + std::string(nelk_image::machineName(machine)) + " DLL here: " + problem;
        return;
    }
    target.mode = battery_mode::delegated;
    target.where = std::string(machine == pe_machine::x86 ? "32-bit Windows, under " : "64-bit Windows, under ") +
                   command.front() + ", by " + host;
    command.push_back(host);
    command.insert(command.end(), {"--json", "validate", target.library});
    target.delegate = command;
#endif
}

}  // namespace

validation_target prepareTarget(const std::string& argument, const std::string& scratch, int index) {
    validation_target target;
    target.argument = argument;
    target.library = argument;
    if (isZip(argument)) {
        target.imageChecks = true;
        target.mode = battery_mode::cannot;
#if defined(NELK_HAVE_PACKAGES)
        const std::string folder = (std::filesystem::path(scratch) / ("package-" + std::to_string(index))).string();
        std::error_code error;
        std::filesystem::create_directory(folder, error);
        std::vector<std::string> names;
        std::string problem;
        if (error || scratch.empty() || !nelk_package::unpackArchive(argument, folder, names, problem)) {
            target.cannot = "the package cannot be unpacked: " + (problem.empty() ? "no scratch folder" : problem);
            target.package = folder;
            return target;
        }
        target.package = folder;
        std::ifstream input(std::filesystem::path(folder) / nelk_package::manifestName, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
        nelk_package::manifest contents;
        if (!nelk_package::readManifest(text, contents, problem)) {
            target.cannot = "the package's manifest cannot be read, so its library is not known: " + problem;
            return target;
        }
        target.library = (std::filesystem::path(folder) / contents.library).string();
        target.mode = battery_mode::here;
#else
        (void)scratch;
        (void)index;
        target.cannot = "this nelk-host was built without package support (libzip): validate the DLL, or use the Linux nelk-host";
        return target;
#endif
    }
    if (nelk_image::pe_image::looksLike(target.library)) {
        target.imageChecks = true;
        std::string problem;
        const auto image = nelk_image::pe_image::read(target.library, problem);
        if (!image || image->machine() == pe_machine::other) {
            target.mode = battery_mode::cannot;
            target.cannot = "no battery for this image (see image-machine)";
            return target;
        }
        chooseBattery(target, image->machine());
    }
    return target;
}

}  // namespace nelk_validator
