#include "serve_command.h"

#include <csignal>
#include <cstdio>
#include <sstream>
#include <thread>

#include <httplib.h>
#include <pthread.h>

#include "demo_scenario.h"
#include "event_log.h"
#include "host_thread.h"
#include "live_session.h"
#include "page_assets.h"
#include "request_guard.h"
#include "state_json.h"

namespace nelk_host_tool {

namespace {

// What the API takes in one request; a larger body is refused (413) before it is read whole.
const std::size_t largestBody = 1 << 20;

void refuse(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(nlohmann::ordered_json{{"error", reason}}.dump(), "application/json");
}

std::string urlHost(const std::string& address) {
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

// The statements of one request, each run as a scenario's line would be; the events they made
// come back with the verdict.
std::string runStatements(live_session& session, event_log& log, const std::string& body, int request) {
    const long long first = log.last();
    const int errorsBefore = session.host().protocolErrors();
    bool ok = true;
    std::istringstream lines(body);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = "request-" + std::to_string(request) + ":" + std::to_string(++number);
        std::vector<token> words;
        std::string problem;
        if (tokenize(line, words, problem) && !words.empty() && !words[0].quoted && words[0].text == "save") {
            ok = false;
            log.append(nlohmann::ordered_json{{"event", "error"}, {"where", where},
                                              {"text", "save writes a file where nelk-host runs; the page's \"Save as "
                                                       "scenario\" (GET /api/scenario) gives the same scenario"}}
                           .dump());
            continue;
        }
        if (session.enter(where, line) != statement_result::ok) ok = false;
    }
    ok = ok && session.host().protocolErrors() == errorsBefore;
    std::string events;
    for (const auto& event : log.after(first, std::chrono::milliseconds(0))) events += (events.empty() ? "" : ",") + event.second;
    return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"events\":[" + events + "]}";
}

}  // namespace

int runServe(const serve_options& options) {
    // SIGINT and SIGTERM are taken by a thread of ours, not by whichever thread they hit.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);

    transcript output(stdout, options.style, options.colour);
    event_log log;
    output.listen([&log](const nlohmann::ordered_json& event) {
        log.append(event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    });
    live_session session(output, options.library, options.mode);
    if (options.files.empty()) session.runText("demo", demoSetup(options.library));
    for (const std::string& file : options.files) session.runFile(file);

    httplib::Server server;
    host_thread host;
    server.set_payload_max_length(largestBody);
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(options.bind);
    } else if (!server.bind_to_port(options.bind, port)) {
        port = -1;
    }
    if (port <= 0) {
        std::fprintf(stderr, "nelk-host: cannot listen on %s:%d\n", options.bind.c_str(), options.port);
        return 2;
    }
    if (!isLoopback(options.bind)) {
        std::fprintf(stderr,
                     "nelk-host: warning: serving on %s, which other machines may reach; whoever reaches it can drive the "
                     "components\n",
                     options.bind.c_str());
    }
    const std::string bound = options.bind;
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
    for (const page_asset& asset : pageAssets()) {
        const std::string path = asset.path == std::string("/index.html") ? "/" : asset.path;
        server.Get(path, [&asset](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Security-Policy",
                                "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:");
            response.set_content(reinterpret_cast<const char*>(asset.bytes), asset.size, asset.contentType);
        });
    }
    server.Get("/api/state", [&](const httplib::Request&, httplib::Response& response) {
        std::string state;
        host.run([&] { state = stateJson(session.host()).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace); });
        response.set_content(state, "application/json");
    });
    std::atomic<int> requests{0};
    server.Post("/api/statements", [&](const httplib::Request& request, httplib::Response& response) {
        const int number = ++requests;
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

    log.close();
    server.stop();
    listener.join();
    output.note("", "stopping: the instances are deleted as a host does");
    session.host().removeAll();
    return 0;
}

}  // namespace nelk_host_tool
