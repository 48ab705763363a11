#include "server.h"

#include <csignal>
#include <cstdio>
#include <thread>

#include <httplib.h>
#include <pthread.h>

#include "event_log.h"
#include "host_thread.h"
#include "page_assets.h"
#include "request_guard.h"
#include "scenario/demo_scenario.h"
#include "scenario/live_session.h"
#include "state_json.h"

namespace nelk_host_tool {

namespace {

// What the API takes in one request; a larger body is refused (413) before it is read whole.
const std::size_t largestBody = 1 << 20;

void refuse(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(jsonText({{"error", reason}}), "application/json");
}

std::string urlHost(const std::string& address) {
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

// SIGINT and SIGTERM blocked in this thread and every thread it starts, so that the watcher
// takes them, not whichever thread they hit.
sigset_t blockStopSignals() {
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    return stopping;
}

// Binds the server; the port bound (a free one for 0), or -1 with a message on standard error.
int bindServer(httplib::Server& server, const serve_options& options) {
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(options.bind);
    } else if (!server.bind_to_port(options.bind, port)) {
        port = -1;
    }
    if (port <= 0) {
        std::fprintf(stderr, "nelk-host: cannot listen on %s:%d\n", options.bind.c_str(), options.port);
        return -1;
    }
    if (!isLoopback(options.bind)) {
        std::fprintf(stderr,
                     "nelk-host: warning: serving on %s, which other machines may reach; whoever reaches it can drive the "
                     "components\n",
                     options.bind.c_str());
    }
    return port;
}

// Every request: its Host must be the served address (or localhost), its Origin, if any, the
// same; the body's size is capped.
void guardRequests(httplib::Server& server, const std::string& bound, int port) {
    server.set_payload_max_length(largestBody);
    server.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});
    server.set_pre_routing_handler([bound, port](const httplib::Request& request, httplib::Response& response) {
        const std::string host = request.get_header_value("Host");
        if (!hostAllowed(host, bound, port)) {
            refuse(response, 403, "this server answers to its own address or localhost only, not to \"" + host + "\"");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!originAllowed(request.get_header_value("Origin"), host)) {
            refuse(response, 403, "requests from another page's origin are refused");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

// The page's files, built into the program.
void servePage(httplib::Server& server) {
    for (const embedded_file& asset : pageAssets()) {
        const std::string path = asset.path == std::string("/index.html") ? "/" : asset.path;
        server.Get(path, [&asset](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Security-Policy",
                                "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:");
            response.set_content(reinterpret_cast<const char*>(asset.bytes), asset.size, asset.contentType);
        });
    }
}

// The statements of one request, run as a scenario's lines (named "request-N:LINE"); the events
// they made come back with the verdict.
std::string runStatements(live_session& session, event_log& log, const std::string& body, int request) {
    const long long first = log.last();
    const bool ok = session.runText("request-" + std::to_string(request), body) == statement_result::ok;
    std::string events;
    for (const auto& event : log.after(first, std::chrono::milliseconds(0))) events += (events.empty() ? "" : ",") + event.second;
    return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"events\":[" + events + "]}";
}

// The API (docs/serve.md). Every call into the components is made on the host's thread.
void serveApi(httplib::Server& server, host_thread& host, live_session& session, event_log& log) {
    server.Get("/api/state", [&](const httplib::Request&, httplib::Response& response) {
        std::string state;
        host.run([&] { state = jsonText(stateJson(session.host())); });
        response.set_content(state, "application/json");
    });
    auto requests = std::make_shared<std::atomic<int>>(0);
    server.Post("/api/statements", [&, requests](const httplib::Request& request, httplib::Response& response) {
        const int number = ++*requests;
        std::string answer;
        host.run([&] { answer = runStatements(session, log, request.body, number); });
        response.set_content(answer, "application/json");
    });
    server.Get("/api/scenario", [&](const httplib::Request&, httplib::Response& response) {
        std::string text;
        host.run([&] { text = session.scenario(); });
        response.set_header("Content-Disposition", "attachment; filename=\"session.nelk\"");
        response.set_content(text, "text/plain; charset=utf-8");
    });
    server.Get("/api/events", [&log](const httplib::Request& request, httplib::Response& response) {
        // A reconnecting page says what it saw last; a new one gets what is kept.
        long long seen = 0;
        const std::string last = request.get_header_value("Last-Event-ID");
        if (!last.empty()) seen = std::atoll(last.c_str());
        response.set_chunked_content_provider("text/event-stream", [&log, seen](std::size_t, httplib::DataSink& sink) mutable {
            const auto events = log.after(seen, std::chrono::milliseconds(1000));
            if (log.closed()) {
                sink.done();
                return false;
            }
            if (events.empty()) return sink.write(": still here\n\n", 14);  // keeps proxies and the page patient
            std::string chunk;
            for (const auto& event : events) {
                chunk += "id: " + std::to_string(event.first) + "\ndata: " + event.second + "\n\n";
                seen = event.first;
            }
            return sink.write(chunk.data(), chunk.size());
        });
    });
}

}  // namespace

int runServe(const serve_options& options) {
    const sigset_t stopping = blockStopSignals();
    transcript output(stdout, options.style, options.colour);
    event_log log;
    output.listen([&log](const nlohmann::ordered_json& event) { log.append(jsonText(event)); });
    live_session session(output, options.library, options.mode);
    session.refuseSaving("save writes a file where nelk-host runs; the page's \"Save as scenario\" (GET /api/scenario) "
                         "gives the same scenario");
    if (options.files.empty()) session.runText("demo", demoSetup(options.library));
    for (const std::string& file : options.files) session.runFile(file);

    httplib::Server server;
    const int port = bindServer(server, options);
    if (port < 0) return 2;
    guardRequests(server, options.bind, port);
    servePage(server);
    host_thread host;
    serveApi(server, host, session, log);

    std::thread listener([&server] { server.listen_after_bind(); });
    std::thread watcher([&host, stopping] {
        int signal = 0;
        sigwait(&stopping, &signal);
        host.stop();
    });
    watcher.detach();  // it ends with the process when no signal comes
    std::printf("serving http://%s:%d/\n", urlHost(options.bind).c_str(), port);
    std::fflush(stdout);
    host.serve([&] { if (options.watch) session.reloadChanged("watch"); }, std::chrono::milliseconds(250));

    // Shutdown: the event streams end, the server stops, and the instances go as a host deletes them.
    log.close();
    server.stop();
    listener.join();
    output.note("", "stopping: the instances are deleted as a host does");
    session.host().removeAll();
    return 0;
}

}  // namespace nelk_host_tool
