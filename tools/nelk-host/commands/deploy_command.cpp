// nelk-host deploy PACKAGE --into DIR [--with-tap] [--undo] [--force]: a package in a host's
// component folder, with a backup of what it replaced, and back out again (docs/shipping.md).
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "ship/deployment.h"
#include "process/executable_path.h"
#include "process/scratch_folder.h"

namespace nelk_host_tool {

namespace {

struct deploy_options {
    nelk_package::deploy_request request;
    bool undo = false;
};

int deployPackage(const deploy_options& options) {
#if !defined(NELK_HAVE_PACKAGES)
    (void)options;
    std::fprintf(stderr, "nelk-host: this nelk-host was built without packages (Debian's libzip and OpenSSL): deploy with the "
                         "Linux kit's nelk-host\n");
    return 2;
#else
    const scratch_folder scratch("nelk-deploy");
    if (scratch.path().empty()) {
        std::fprintf(stderr, "nelk-host: cannot make a folder to unpack the package in\n");
        return 2;
    }
    const nelk_package::deploy_result result =
        options.undo ? nelk_package::undoDeploy(options.request.package, options.request.into, scratch.path())
                     : nelk_package::deploy(options.request, scratch.path());
    for (const std::string& each : result.placed) std::printf("  %s %s\n", options.undo ? "removed" : "placed", each.c_str());
    for (const std::string& each : result.kept) std::printf("  %s %s\n", options.undo ? "put back" : "kept in the backup", each.c_str());
    if (!result.done) {
        std::fprintf(stderr, "nelk-host: %s\n", result.problem.c_str());
        return result.placed.empty() ? 2 : 1;
    }
    if (options.undo) {
        std::printf("undone: %s is out of %s, and what it replaced is back\n", result.name.c_str(), options.request.into.c_str());
    } else {
        std::printf("deployed %s into %s%s; undo with: nelk-host deploy %s --into %s --undo\n", result.name.c_str(),
                    options.request.into.c_str(), options.request.withTap ? ", the tap in front of it" : "",
                    shellQuoted(options.request.package).c_str(), shellQuoted(options.request.into).c_str());
    }
    return 0;
#endif
}

}  // namespace

subcommand addDeployCommand(CLI::App& app) {
    auto options = std::make_shared<deploy_options>();
    CLI::App* deploy = app.add_subcommand("deploy", "put a package into a host's component folder, or take it out (docs/shipping.md)");
    deploy->add_option("package", options->request.package, "the package (for --undo: it, or the component's name)")->required();
    deploy->add_option("--into", options->request.into, "the host's component folder; the component goes into DIR/NAME")
        ->required()
        ->check(CLI::ExistingDirectory);
    deploy->add_flag("--with-tap", options->request.withTap, "put the kit's nelk_tap in front of the library (docs/tap.md)");
    deploy->add_flag("--undo", options->undo, "take the component out and put back what its deploys replaced");
    deploy->add_flag("--force", options->request.force, "replace a nelk_string library already in the host's folder");
    return {deploy, [options] { return deployPackage(*options); }};
}

}  // namespace nelk_host_tool
