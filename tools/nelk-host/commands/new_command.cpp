// nelk-host new NAME [FOLDER]: a component project that builds against this package.
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "process/executable_path.h"
#include "project/project_template.h"

namespace nelk_host_tool {

namespace {

struct new_options {
    std::string name;
    std::string folder;  // default: the name
};

int newProject(const new_options& options) {
    const std::string folder = options.folder.empty() ? options.name : options.folder;
    std::string problem;
    if (!folder.empty() && folder[0] == '-') {
        // The printed commands would hand it to cmake as an option.
        std::fprintf(stderr, "nelk-host: the folder %s begins with '-', which cmake takes for an option; give ./%s\n",
                     folder.c_str(), folder.c_str());
        return 2;
    }
    if (!writeProject(options.name, folder, installRoot(), problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    // The commands as a shell takes them, whatever the folder's name holds.
    const std::string source = shellQuoted(folder);
    const std::string build = shellQuoted(folder + "/build");
    const std::string prefix = shellQuoted(installPrefix());
    std::printf("made the component project %s in %s; build and test it with\n"
                "  cmake -S %s -B %s -DCMAKE_PREFIX_PATH=%s\n"
                "  cmake --build %s && ctest --test-dir %s\n"
                "or with its presets: linux, windows-x86 for the host's platform (docs/shipping.md), and fuzz (docs/fuzzing.md)\n"
                "  cd %s && cmake --preset windows-x86 && cmake --build --preset windows-x86 && ctest --preset windows-x86\n",
                options.name.c_str(), folder.c_str(), source.c_str(), build.c_str(), prefix.c_str(), build.c_str(),
                build.c_str(), source.c_str());
    if (installRoot().empty())
        std::printf("(this nelk-host runs from a build tree: the presets find the kit through NELK_PREFIX)\n");
    return 0;
}

}  // namespace

subcommand addNewCommand(CLI::App& app) {
    auto options = std::make_shared<new_options>();
    CLI::App* create = app.add_subcommand("new", "make a component project that builds against this package (docs/first-component.md)");
    create->add_option("name", options->name, "the component's name, a C++ identifier such as Tally")->required();
    create->add_option("folder", options->folder, "the folder to make (default: NAME); it must not exist");
    return {create, [options] { return newProject(*options); }};
}

}  // namespace nelk_host_tool
