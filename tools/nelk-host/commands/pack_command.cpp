// nelk-host pack BUILD_DIR|LIBRARY [-o DIR]: the component's package, NAME-VERSION-ARCH.zip,
// written only when the image checks pass on what it would hold (docs/shipping.md).
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "ship/packing.h"
#include "process/scratch_folder.h"

namespace nelk_host_tool {

namespace {

int packComponent(const nelk_package::pack_request& request) {
#if !defined(NELK_HAVE_PACKAGES)
    (void)request;
    std::fprintf(stderr, "nelk-host: this nelk-host was built without packages (Debian's libzip and OpenSSL): pack with the "
                         "Linux kit's nelk-host\n");
    return 2;
#else
    const scratch_folder staging("nelk-pack");
    if (staging.path().empty()) {
        std::fprintf(stderr, "nelk-host: cannot make a folder to stage the package in\n");
        return 2;
    }
    const nelk_package::pack_result result = nelk_package::pack(request, staging.path());
    if (!result.problem.empty() && result.failures.empty()) {
        std::fprintf(stderr, "nelk-host: %s\n", result.problem.c_str());
        return 2;
    }
    for (const std::string& each : result.warnings) std::printf("  WARN %s\n", each.c_str());
    if (!result.failures.empty()) {
        for (const std::string& each : result.failures) std::printf("  FAIL %s\n", each.c_str());
        std::printf("not packed: %s %s fails %zu of the checks a host's platform makes of it (nelk-host validate says more)\n",
                    result.contents.name.c_str(), result.contents.version.c_str(), result.failures.size());
        return 1;
    }
    std::string files;
    for (const nelk_package::packaged_file& each : result.contents.files) files += (files.empty() ? "" : ", ") + each.path;
    std::printf("packed %s: %s and %s\n", result.path.c_str(), files.c_str(), nelk_package::manifestName);
    return 0;
#endif
}

}  // namespace

subcommand addPackCommand(CLI::App& app) {
    auto request = std::make_shared<nelk_package::pack_request>();
    CLI::App* pack = app.add_subcommand("pack", "make a component's package for a host's folder, checked first (docs/shipping.md)");
    pack->add_option("source", request->source, "a build folder of a project with nelk_add_component, or a component library")
        ->required()
        ->check(CLI::ExistingPath);
    pack->add_option("-o,--output", request->outputFolder, "the folder to write NAME-VERSION-ARCH.zip into (default: here)");
    pack->add_option("--name", request->name, "the component, when the build holds several; for a library, its name");
    pack->add_option("--version", request->version, "the version (for a library; a build's description gives its own)");
    pack->add_option("--layout", request->layouts,
                     "a layout to pack beside the library, besides those its file names (an optimizer may build a name in code)")
        ->allow_extra_args(false);
    pack->add_flag("--with-string-library", request->withStringLibrary,
                   "put our nelk_string library in too, for a host that has none of its own");
    return {pack, [request] { return packComponent(*request); }};
}

}  // namespace nelk_host_tool
