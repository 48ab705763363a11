// A host session that lives as long as its user works with it: the prompt and the served page.
// It runs statements, the session commands among them (statements.h, role session): `save FILE`
// writes the session as a scenario, `reload [NAME|all]` picks up a rebuilt library. Host's thread
// only.
#pragma once

#include <chrono>
#include <map>
#include <string>

#include "scenario.h"
#include "scenario_recorder.h"
#include "host/headless_host.h"

namespace nelk_host_tool {

class live_session : public session_commands {
public:
    // output: where every event goes; must outlive the session. defaultLibrary and mode: what
    // the session starts with.
    live_session(transcript& output, std::string defaultLibrary, delivery_mode mode);
    // Deletes the instances still alive, as a host does when it closes.
    ~live_session() override;
    live_session(const live_session&) = delete;
    live_session& operator=(const live_session&) = delete;

    // One line typed or posted: a statement or a session command. `where` names it in
    // messages ("repl:3").
    statement_result enter(const std::string& where, const std::string& line);
    // Where `save` may not write files (a server, whose files are not its user's), it fails
    // with `why`.
    void refuseSaving(std::string why) { refuseSaving_ = std::move(why); }
    // Runs a scenario file, leaving its instances alive.
    statement_result runFile(const std::string& path);
    // Runs statements from a text, leaving its instances alive.
    statement_result runText(const std::string& origin, const std::string& text);

    // The session so far as a scenario file's text.
    std::string scenario() const { return record_.scenario(host_); }
    // Reopens the library of instance `which` (or of every instance, for "all"): deletes its
    // instances as a host does, unloads it, opens the file again, creates them again and runs
    // again the statements that made their state; says what now differs. False when nothing
    // could be reloaded.
    bool reload(const std::string& where, const std::string& which) override;
    // Writes the session as a scenario file at `path`; a file there is replaced only when `overwrite`.
    bool save(const std::string& where, const std::string& path, bool overwrite) override;
    // For --watch: reloads the libraries whose files changed since they were opened, once each
    // has stayed as it is for half a second and is a whole library; a build that does not load
    // leaves the instances on the library they have, and says why.
    void reloadChanged(const std::string& where);

    headless_host& host() noexcept { return host_; }
    const headless_host& host() const noexcept { return host_; }
private:
    void noteLibraryTimes();
    bool reloadLibrary(const std::string& where, const std::string& library);

    transcript& output_;
    headless_host host_;
    scenario_runner runner_;
    scenario_recorder record_;
    std::map<std::string, std::string> libraryStamps_;  // library file -> its size and time when loaded
    struct change {
        std::string stamp;                            // as last seen
        std::chrono::steady_clock::time_point since;  // unchanged since then
        bool told;                                    // that it is not whole yet
    };
    std::map<std::string, change> changing_;          // library files being written
    std::string refuseSaving_;
};

}  // namespace nelk_host_tool
