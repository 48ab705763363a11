#include "server.h"

#include "page_screenshot.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include <httplib.h>
#include <pthread.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "connection_gate.h"
#include "process/adopted_children.h"
#include "event_log.h"
#include "host_thread.h"
#include "host_rules.h"
#include "page_assets.h"
#include "request_guard.h"
#include "scenario_words.h"
#include "scenario/demo_scenario.h"
#include "served_session.h"

namespace nelk_host_tool {

namespace {

// What the API takes in one request, whatever its transfer encoding; more is refused (413).
const std::size_t largestBody = 1 << 20;
// How many of the server's threads (gate_limits) the event streams may hold at once, so that
// streams never starve the API.
const int mostStreams = 8;
// A client that sends or reads nothing for this long is dropped.
const time_t idleSeconds = 5;

void refuse(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(jsonText({{"error", reason}}), "application/json");
}

std::string urlHost(const std::string& address) {
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

// 32 hexadecimal digits from the system's random source.
std::string randomToken() {
    std::random_device source;
    static const char hex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) token += hex[source() & 15];
    return token;
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

// The token a request carries: the header X-Nelk-Token or the query's token. No cookie counts:
// a browser sends a cookie of 127.0.0.1 to every port there, so another user's server on another
// port would receive it.
std::string tokenOf(const httplib::Request& request) {
    if (request.has_header("X-Nelk-Token")) return request.get_header_value("X-Nelk-Token");
    if (request.has_param("token")) return request.get_param_value("token");
    return "";
}

// An event as the page's log keeps it: a text longer than 16 KB is cut, with its size said, so
// that a large statement does not fill the log (or the page) with its copies; and its readable
// line, under "readable".
nlohmann::ordered_json forThePage(const nlohmann::ordered_json& event) {
    const std::size_t longest = 16 * 1024;
    nlohmann::ordered_json kept = event;
    for (auto& item : kept.items()) {
        if (!item.value().is_string()) continue;
        const std::string& text = item.value().get_ref<const std::string&>();
        if (text.size() > longest)
            item.value() = text.substr(0, longest) + "... (" + std::to_string(text.size()) + " bytes)";
    }
    // The line as the transcript prints it, which the page shows as it stands.
    const readable_line shown = readableLine(kept);
    kept["readable"] = {{"tag", shown.tag}, {"who", shown.who}, {"text", shown.text}};
    return kept;
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
// `listening` is the listening socket, which the connection gate accepts on.
int bindServer(httplib::Server& server, const serve_options& options, int& listening) {
    // SO_REUSEADDR only: the library's default adds SO_REUSEPORT, with which a second server on
    // a served port starts silently and the kernel deals connections out between the two.
    server.set_socket_options([&listening](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = sock;
    });
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(options.bind);
    } else if (!server.bind_to_port(options.bind, port)) {
        port = -1;
    }
    if (port <= 0) {
        std::fprintf(stderr, "nelk-host: cannot listen on %s:%d (%s)\n", options.bind.c_str(), options.port,
                     errno == EADDRINUSE ? "another server listens there" : std::strerror(errno));
        return -1;
    }
    if (!isLoopback(options.bind)) {
        std::fprintf(stderr,
                     "nelk-host: warning: serving on %s, which other machines may reach; whoever has the token can drive "
                     "the components\n",
                     options.bind.c_str());
    }
    return port;
}

// Every request: its Host must be the served address (or localhost), its Origin, if any, the
// same, and every /api/ request must carry the token, but for the reads of the still view made
// with `viewToken` (empty: none). Nothing may frame the page.
void guardRequests(httplib::Server& server, const std::string& bound, int port, const std::string& token,
                   const std::string& viewToken) {
    server.set_payload_max_length(largestBody);
    server.set_read_timeout(idleSeconds, 0);
    server.set_write_timeout(idleSeconds, 0);
    // One request a connection: a connection kept open after its answer would wait for its next
    // head on one of the server's threads, where the connection gate no longer guards it.
    server.set_keep_alive_max_count(1);
    server.set_default_headers({{"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"X-Frame-Options", "DENY"},
                                {"Content-Security-Policy", "frame-ancestors 'none'"}});
    server.set_pre_routing_handler([=](const httplib::Request& request, httplib::Response& response) {
        const std::string host = request.get_header_value("Host");
        if (!hostAllowed(host, bound, port)) {
            refuse(response, 403,
                   "this server answers to its own address or localhost only, not to \"" + nelk_test_kit::escaped(host) + "\"");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!originAllowed(request.get_header_value("Origin"), host)) {
            refuse(response, 403, "requests from another page's origin are refused");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool api = request.path.compare(0, 5, "/api/") == 0;
        // The still view's token reads the state and the transcript, and nothing else.
        const bool viewing = !viewToken.empty() && request.method == "GET" &&
                             (request.path == "/api/state" || request.path == "/api/transcript") &&
                             request.has_param("view") && sameText(request.get_param_value("view"), viewToken);
        if (api && !viewing && !token.empty() && !sameText(tokenOf(request), token)) {
            refuse(response, 403,
                   "this API needs the session's token: open the address nelk-host printed, or send X-Nelk-Token");
            return httplib::Server::HandlerResponse::Handled;
        }
        // The page opened with its token in the query (an older address): the token moves to the
        // fragment, which no request carries; the page keeps it for its own origin only.
        if (request.path == "/" && !token.empty() && request.has_param("token") &&
            sameText(request.get_param_value("token"), token)) {
            response.set_redirect("/#token=" + token, 303);
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
                                "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                                "worker-src 'self'; frame-ancestors 'none'");
            response.set_content(reinterpret_cast<const char*>(asset.bytes), asset.size, asset.contentType);
        });
    }
}

// A request's body, read as it comes whatever its transfer encoding, up to `largestBody`; false
// (the response set to 413) beyond it.
bool readBody(const httplib::ContentReader& reader, httplib::Response& response, std::string& body) {
    bool tooLarge = false;
    reader([&](const char* data, std::size_t length) {
        if (body.size() + length > largestBody) {
            tooLarge = true;
            return false;
        }
        body.append(data, length);
        return true;
    });
    if (tooLarge) refuse(response, 413, "the body is larger than " + std::to_string(largestBody) + " bytes");
    return !tooLarge;
}

// The panels as they are now, handed to the pages in the event stream, so that a page draws
// them as they change without asking for them. The host's thread.
void publishState(served_session& session, event_log& log) {
    log.append(jsonText({{"event", "state"}, {"state", session.state()}}));
}

// What the statements of one request made, and the verdict.
std::string runStatements(served_session& session, event_log& log, const std::string& body, int request) {
    const long long first = log.last();
    const bool ok = session.runText("request-" + std::to_string(request), body);
    std::string events;
    for (const auto& event : log.after(first, std::chrono::milliseconds(0))) events += (events.empty() ? "" : ",") + event.second;
    return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"events\":[" + events + "]}";
}

// A statement sent as its words ({"words": ["command", "A", "text=a \"b\""]}, as the page sends
// them), written with the scenario language's own writer; false with `problem` for another body.
bool statementFromWords(const std::string& body, std::string& statement, std::string& problem) {
    const nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
    const auto words = document.is_object() ? document.find("words") : document.end();
    if (!document.is_object() || words == document.end() || !words->is_array() || words->empty()) {
        problem = "a JSON body is {\"words\": [the statement's words, as texts]}";
        return false;
    }
    for (const nlohmann::json& word : *words) {
        if (!word.is_string()) {
            problem = "every word of \"words\" is a text";
            return false;
        }
        statement += (statement.empty() ? "" : " ") + nelk_test_kit::statementWord(word.get<std::string>());
    }
    return true;
}

// The event stream at /api/events: what the log keeps, then what it gets, to at most `mostStreams`
// pages at once.
void serveEvents(httplib::Server& server, event_log& log) {
    auto streams = std::make_shared<std::atomic<int>>(0);
    server.Get("/api/events", [&log, streams](const httplib::Request& request, httplib::Response& response) {
        if (++*streams > mostStreams) {
            --*streams;
            refuse(response, 503, "too many event streams are open; the page shares one among its tabs");
            return;
        }
        // A reconnecting page says what it saw last; a new one gets what is kept.
        long long seen = 0;
        const std::string last = request.get_header_value("Last-Event-ID");
        if (!last.empty()) seen = std::atoll(last.c_str());
        response.set_chunked_content_provider(
            "text/event-stream",
            [&log, seen](std::size_t, httplib::DataSink& sink) mutable {
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
            },
            [streams](bool) { --*streams; });
    });
}

// The API (docs/serve.md). Every exchange with the worker is made on the host's thread.
void serveApi(httplib::Server& server, host_thread& host, served_session& session, event_log& log) {
    server.Get("/api/state", [&](const httplib::Request&, httplib::Response& response) {
        std::string state;
        host.run([&] {
            nlohmann::ordered_json shown = session.state();
            shown["events"] = log.last();  // the page is ready once its stream has brought it this far
            state = jsonText(shown);
        });
        response.set_content(state, "application/json");
    });
    // The kept events at once, oldest first: the page's still picture (?still) reads them with the state.
    server.Get("/api/transcript", [&log](const httplib::Request&, httplib::Response& response) {
        std::string list = "[";
        for (const auto& event : log.after(0, std::chrono::milliseconds(0))) list += (list.size() > 1 ? "," : "") + event.second;
        response.set_content(list + "]", "application/json");
    });
    auto requests = std::make_shared<std::atomic<int>>(0);
    server.Post("/api/statements", [&, requests](const httplib::Request& request, httplib::Response& response,
                                                  const httplib::ContentReader& reader) {
        std::string body;
        if (!readBody(reader, response, body)) return;
        if (request.get_header_value("Content-Type").rfind("application/json", 0) == 0) {
            std::string statement;
            std::string problem;
            if (!statementFromWords(body, statement, problem)) return refuse(response, 400, problem);
            body = statement;
        }
        const int number = ++*requests;
        std::string answer;
        host.run([&] {
            answer = runStatements(session, log, body, number);
            publishState(session, log);
        });
        response.set_content(answer, "application/json");
    });
    server.Post("/api/recover", [&](const httplib::Request&, httplib::Response& response, const httplib::ContentReader& reader) {
        std::string body;
        if (!readBody(reader, response, body)) return;
        const bool replay = body != "empty";
        bool ok = false;
        host.run([&] {
            ok = session.recover(replay);
            publishState(session, log);
        });
        response.set_content(std::string("{\"ok\":") + (ok ? "true" : "false") + "}", "application/json");
    });
    server.Get("/api/scenario", [&](const httplib::Request&, httplib::Response& response) {
        std::string text;
        host.run([&] { text = session.scenario(); });
        response.set_header("Content-Disposition", "attachment; filename=\"session.nelk\"");
        response.set_content(text, "text/plain; charset=utf-8");
    });
    serveEvents(server, log);
}

// A thread that waits for SIGINT or SIGTERM and then stops the session and the host's thread.
void watchStopSignals(host_thread& host, served_session& session, sigset_t stopping) {
    std::thread watcher([&host, &session, stopping] {
        int signal = 0;
        sigwait(&stopping, &signal);
        session.stop();  // a wait for a hanging component ends at once
        host.stop();
    });
    watcher.detach();  // it ends with the process when no signal comes
}

// The host's thread, until it is stopped: between requests it watches the files if asked and
// lets the timers that fall due fire.
void serveUntilStopped(host_thread& host, served_session& session, event_log& log, bool watch) {
    constexpr std::chrono::milliseconds longest(250);
    host.serve(
        [&] {
            if (watch) session.watch();
            // The worker is asked nothing while idle but when a timer falls due, and then at once.
            if (session.clockDue(std::chrono::steady_clock::now())) {
                session.tick();
                publishState(session, log);
            }
#if defined(__GLIBC__)
            malloc_trim(0);  // what a large request took goes back to the system once it is answered
#endif
            return session.untilDue(std::chrono::steady_clock::now(), longest);
        },
        longest);
}

// The session's token ("" for --no-token, which is refused off loopback, and warned of); false
// when it is refused.
bool sessionToken(const serve_options& options, std::string& token) {
    if (options.noToken && !isLoopback(options.bind)) {
        std::fprintf(stderr, "nelk-host: --no-token serves on loopback only; %s is reachable from other machines\n",
                     options.bind.c_str());
        return false;
    }
    if (options.noToken) {
        std::fprintf(stderr, "nelk-host: warning: --no-token: every local user, and every page this machine's browsers "
                             "open, can drive this session and load any library\n");
    }
    token = options.noToken ? std::string() : options.token.empty() ? randomToken() : options.token;
    return true;
}

// Ends what the components started that outlived their worker (a helper that made itself a
// session leader, out of reach of the worker's group); false, having said so, when there was any.
bool endedTheOutlivers() {
    const std::vector<std::string> outlived = endAdoptedChildren(workerMark);  // not the browser's helpers
    for (const std::string& each : outlived)
        std::fprintf(stderr, "nelk-host: a process a component started outlived its worker and was ended: %s\n", each.c_str());
    return outlived.empty();
}

// The picture asked for (--screenshot): taken on a thread of its own while the host's thread
// answers the page, and then the end; `problem` says why it could not be taken.
std::thread photograph(const serve_options& options, int port, const std::string& viewToken, host_thread& host,
                       std::string& problem) {
    if (options.screenshot.empty()) return std::thread();
    screenshot_request picture;
    picture.url = "http://" + urlHost(options.bind) + ":" + std::to_string(port) + "/?still&view=" + viewToken;
    picture.file = options.screenshot;
    picture.width = options.windowWidth;
    picture.height = options.windowHeight;
    return std::thread([picture, &problem, &host] {
        takeScreenshot(picture, problem);
        host.stop();
    });
}

}  // namespace

int runServe(const serve_options& options) {
    std::string token;
    if (!sessionToken(options, token)) return 2;
    const sigset_t stopping = blockStopSignals();
    std::signal(SIGPIPE, SIG_IGN);  // a worker or a client gone is an error where it is written to, not the server's end
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 2);  // the server's threads share their freed memory rather than each keeping some
#endif
    adoptOrphans();  // a helper a component made a session leader comes back to be ended at the end
    transcript output(stdout, options.style, options.colour);
    event_log log;
    output.listen([&log](const nlohmann::ordered_json& event) { log.append(jsonText(forThePage(event))); });
    served_session session(output, options.workerCommand, options.timeoutSeconds);
    std::string problem;
    if (!session.start(problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    if (options.files.empty()) session.runText("demo", demoSetup(options.library));
    for (const std::string& file : options.files) session.runFile(file);

    httplib::Server server;
    int listening = -1;
    const int port = bindServer(server, options, listening);
    if (port < 0) return 2;
    const std::string viewToken = options.screenshot.empty() ? std::string() : randomToken();
    guardRequests(server, options.bind, port, token, viewToken);
    servePage(server);
    host_thread host;
    serveApi(server, host, session, log);
    connection_gate gate(server, listening);
    if (!gate.start()) {
        std::fprintf(stderr, "nelk-host: serve could not listen on port %d (%s)\n", port, std::strerror(errno));
        return 2;
    }
    watchStopSignals(host, session, stopping);
    std::printf("serving http://%s:%d/%s\n", urlHost(options.bind).c_str(), port,
                token.empty() ? "" : ("#token=" + token).c_str());
    std::fflush(stdout);
    std::string pictureProblem;
    std::thread photographer = photograph(options, port, viewToken, host, pictureProblem);
    serveUntilStopped(host, session, log, options.watch);
    if (photographer.joinable()) photographer.join();

    // Shutdown: the event streams end, the server stops, and the instances go as a host deletes them.
    log.close();
    gate.stop();
    const bool finished = session.finish();
    const bool endedCleanly = endedTheOutlivers() && finished;
    if (!pictureProblem.empty()) {
        std::fprintf(stderr, "nelk-host: %s\n", pictureProblem.c_str());
        return 1;
    }
    if (!options.screenshot.empty()) std::printf("the page as it was: %s\n", options.screenshot.c_str());
    return endedCleanly ? 0 : 1;
}

}  // namespace nelk_host_tool
