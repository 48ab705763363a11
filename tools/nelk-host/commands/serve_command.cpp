// nelk-host serve [FILE...]: the panels of a live session in a browser (serve/server.h).
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "guarded_host.h"
#include "serve/server.h"

namespace nelk_host_tool {

namespace {

int serveFiles(host_options& host, serve_options served) {
    if (!prepared(host)) return 2;
#if defined(NELK_HAVE_SERVE)
    if (served.files.empty() && !loadable(host.library)) return 2;
    const guarded_run guard(host);
    served.library = host.library;
    served.style = host.style();
    served.colour = host.colour();
    served.mode = host.mode();
    return runServe(served);
#else
    (void)served;
    std::fprintf(stderr, "nelk-host: serve is not built into this nelk-host (it needs Debian's cpp-httplib, which this "
                         "platform's build does not have); run it from a Linux build\n");
    return 2;
#endif
}

}  // namespace

subcommand addServeCommand(CLI::App& app, host_options& host) {
    auto options = std::make_shared<serve_options>();
    CLI::App* serve = app.add_subcommand("serve", "draw the panels in a browser and drive them (docs/serve.md)");
    addHostOptions(*serve, host);
    serve->add_option("files", options->files, "scenario files to run first (their instances stay); none: the demo")
        ->check(CLI::ExistingFile);
    serve->add_option("--port", options->port, "the port to listen on; 0 takes a free one")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    serve->add_option("--bind", options->bind, "the address to listen on (another than loopback is reachable from other machines)")
        ->capture_default_str();
    serve->add_flag("--watch", options->watch, "reload a library whose file changed");
    serve->footer(statementFooter() + "Session commands:\n" + sessionCommandHelp());
    return {serve, [&host, options] { return serveFiles(host, *options); }};
}

}  // namespace nelk_host_tool
