// nelk-host: a headless panel host for component libraries.
//   nelk-host                  the built-in demo on the Corvane library it ships with
//   nelk-host run FILE...      run scenario files
//   nelk-host repl [LIBRARY]   type statements interactively
//   nelk-host serve [FILE...]  the panels in a browser
//   nelk-host validate LIB...  the validator's battery of checks
//   nelk-host new NAME [DIR]   a new component project
//   nelk-host pack BUILD       a component's package; deploy PACKAGE --into DIR puts it in a host
// Each subcommand is in a file of its own in this folder; this one only puts them together.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "process/executable_path.h"

using namespace nelk_host_tool;

int main(int argc, char** argv) {
    CLI::App app{"nelk-host: a headless panel host that loads component libraries.\n"
                 "Without a subcommand it runs the built-in demo on the Corvane library it ships with.",
                 "nelk-host"};
    app.allow_windows_style_options(false);  // "/path/to/file" is a path, also on Windows
    host_options host;
    host.library = defaultComponentLibrary();
    addHostOptions(app, host);
    const std::vector<subcommand> subcommands = {
        addRunCommand(app, host),
        addReplCommand(app, host),
        addServeCommand(app, host),
        addServeWorkerCommand(app, host),
        addValidateCommand(app, host, argv[0]),
        addNewCommand(app),
        addPackCommand(app),
        addDeployCommand(app),
    };
    // Set last: a subcommand added after them would take them over.
    app.footer(statementFooter());
    app.set_help_all_flag("--help-all", "the help of every subcommand");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::string command = "nelk-host";
        for (const CLI::App* each : app.get_subcommands()) command += " " + each->get_name();
        std::fprintf(stderr, "nelk-host: %s (see %s --help)\n", error.what(), command.c_str());
        return 2;
    }
    for (const subcommand& each : subcommands) {
        if (*each.parsed) return each.run();
    }
    return runDemo(host);
}
