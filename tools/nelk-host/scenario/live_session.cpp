#include "live_session.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/library_files.h"
#include "host_rules.h"

namespace nelk_host_tool {

namespace {

// How long a changed library file must stay as it is before --watch takes it for a finished build.
const std::chrono::milliseconds quietPeriod(500);

// The statements that built an instance's state: the deliveries naming it since it was last
// created.
std::vector<std::string> buildingStatements(const std::vector<std::string>& statements, const std::string& name) {
    std::vector<std::string> building;
    for (const std::string& line : statements) {
        std::vector<statement_word> words;
        std::string problem;
        if (!readStatementWords(line, words, problem) || words.size() < 2 || words[1].text != name) continue;
        const statement_form* form = formOf(words);
        if (form == nullptr) continue;
        if (form->role == statement_role::creates) building.clear();
        if (form->role == statement_role::delivers) building.push_back(line);
    }
    return building;
}

using panel_state = std::map<std::string, std::string>;  // "control.property" -> value

panel_state stateOf(const instance& target) {
    panel_state state;
    for (const panel_control& control : target.panel.controls()) {
        for (const auto& property : control.properties) state[control.id + "." + property.first] = property.second;
    }
    return state;
}

// Notes on `output` what a reload of `name` from `library` changed on its panel, property by property,
// and how many differences there were.
void notePanelChanges(transcript& output, const std::string& name, const std::string& library, const panel_state& before,
                      const panel_state& after) {
    int differences = 0;
    for (const auto& entry : before) {
        auto found = after.find(entry.first);
        if (found != after.end() && found->second == entry.second) continue;
        ++differences;
        output.note(name, entry.first + " was \"" + nelk_test_kit::escaped(entry.second) + "\", is now " +
                              (found != after.end() ? "\"" + nelk_test_kit::escaped(found->second) + "\"" : "unset"));
    }
    for (const auto& entry : after) {
        if (before.count(entry.first) != 0) continue;
        ++differences;
        output.note(name, entry.first + " is new: \"" + nelk_test_kit::escaped(entry.second) + "\"");
    }
    output.note(name, "reloaded from " + library +
                          (differences == 0 ? "; its panel is as before"
                                            : "; " + std::to_string(differences) + (differences == 1 ? " difference" : " differences")));
}

}  // namespace

live_session::live_session(transcript& output, std::string defaultLibrary, delivery_mode mode)
    : output_(output), host_(output, mode), runner_(host_, output, defaultLibrary), record_(defaultLibrary, mode) {
    // What a session loads is a private copy: a rebuild of the file never touches the loaded code,
    // and the new build can be tried while the old one still serves.
    host_.model().loadPrivateCopies(true);
    output_.listen([this](const nlohmann::ordered_json& event) { record_.observe(event); });
    runner_.recordInto(&record_);
    runner_.serveSession(this);
}

live_session::~live_session() { host_.removeAll(); }

statement_result live_session::enter(const std::string& where, const std::string& line) {
    const statement_result result = runner_.runStatement(where, line);
    noteLibraryTimes();
    return result;
}

void live_session::noteLibraryTimes() {
    for (const instance* each : host_.model().inOrder()) {
        if (each->library && libraryStamps_.count(each->libraryFile) == 0)
            libraryStamps_[each->libraryFile] = fileStamp(each->libraryFile);
    }
}

statement_result live_session::runFile(const std::string& path) {
    const statement_result result = runner_.runFile(path, true);
    noteLibraryTimes();
    return result;
}

statement_result live_session::runText(const std::string& origin, const std::string& text) {
    const statement_result result = runner_.runText(origin, text, true);
    noteLibraryTimes();
    return result;
}

bool live_session::save(const std::string& where, const std::string& path, bool overwrite) {
    if (!refuseSaving_.empty()) {
        output_.error(where, refuseSaving_);
        return false;
    }
    std::error_code error;
    if (!overwrite && std::filesystem::exists(path, error)) {
        output_.error(where, nelk_test_kit::escaped(path) + " exists already; save! " + statementWord(path) + " writes over it");
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << record_.scenario(host_, path);
    if (!file) {
        output_.error(where, "cannot write " + nelk_test_kit::escaped(path));
        return false;
    }
    output_.note("", "saved the session to " + path + "; nelk-host run replays it");
    return true;
}

bool live_session::reload(const std::string& where, const std::string& which) {
    std::vector<std::string> libraries;
    for (const instance* each : host_.model().inOrder()) {
        if (each->phase != instance_phase::live || !each->library) continue;
        if (which != "all" && each->name != which) continue;
        const std::string& path = each->libraryFile;
        if (std::find(libraries.begin(), libraries.end(), path) == libraries.end()) libraries.push_back(path);
    }
    if (libraries.empty()) {
        output_.error(where, which == "all" ? "no live instance to reload" : "no live instance \"" + nelk_test_kit::escaped(which) + "\"");
        return false;
    }
    bool reloaded = true;
    for (const std::string& library : libraries) reloaded = reloadLibrary(where, library) && reloaded;
    return reloaded;
}

void live_session::reloadChanged(const std::string& where) {
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::string> ready;
    for (const auto& entry : libraryStamps_) {
        const std::string stamp = fileStamp(entry.first);
        if (stamp.empty() || stamp == entry.second) {
            changing_.erase(entry.first);
            continue;
        }
        // A build is taken once the file has stayed as it is for a while and is a whole library.
        auto found = changing_.find(entry.first);
        if (found == changing_.end() || found->second.stamp != stamp) {
            changing_[entry.first] = change{stamp, now, false};
            continue;
        }
        if (now - found->second.since < quietPeriod) continue;
        std::string problem;
        if (!libraryComplete(entry.first, problem)) {
            if (!found->second.told) output_.note("", entry.first + " changed but is not a whole library yet (" + problem + "); waiting");
            found->second.told = true;
            continue;
        }
        ready.push_back(entry.first);
    }
    for (const std::string& library : ready) {
        changing_.erase(library);
        bool live = false;
        for (const instance* each : host_.model().inOrder())
            live = live || (each->phase == instance_phase::live && each->libraryFile == library);
        if (live) {
            output_.note("", library + " changed; reloading it");
            reloadLibrary(where, library);
        } else {
            libraryStamps_.erase(library);
        }
    }
}

bool live_session::reloadLibrary(const std::string& where, const std::string& library) {
    struct rebuilt {
        std::string name;
        std::optional<std::string> loadText;
        panel_state before;
    };
    std::vector<rebuilt> instances;
    std::shared_ptr<nelk_test_kit::component_library> old;
    for (const instance* each : host_.model().inOrder()) {
        if (each->phase != instance_phase::live || each->libraryFile != library) continue;
        instances.push_back(rebuilt{each->name, each->loadText, stateOf(*each)});
        old = each->library;
    }
    libraryStamps_[library] = fileStamp(library);  // this build is the one seen, loaded or not
    // The new build is opened beside the old one, which keeps serving until it can be replaced.
    std::string problem;
    const std::shared_ptr<nelk_test_kit::component_library> fresh =
        libraryComplete(library, problem) ? host_.model().openAgain(library) : nullptr;
    if (fresh == nullptr || !fresh->loaded()) {
        output_.error(where, "cannot reload " + nelk_test_kit::escaped(library) + ": " +
                                 (fresh == nullptr ? problem : nelk_test_kit::escaped(fresh->error(), true)) +
                                 "; its instances keep the library they have");
        return false;
    }
    // As a host does: every instance deleted; the old library stays loaded until they are back.
    for (const rebuilt& each : instances) host_.remove(each.name);
    const std::vector<std::string> history = record_.statements();
    runner_.recordInto(nullptr);  // the session's record stays the one of what the user did
    bool reloaded = true;
    for (const rebuilt& each : instances) {
        std::string error;
        std::shared_ptr<nelk_test_kit::component_library> from = fresh;
        if (!host_.load(each.name, library, fresh, each.loadText, error)) {
            output_.error(where, "reload of " + nelk_test_kit::escaped(each.name) + ": " + error +
                                     "; it is made again from the library it had");
            reloaded = false;
            from = old;
            if (!host_.load(each.name, library, old, each.loadText, error)) {
                output_.error(where, "and that failed too: " + error);
                continue;
            }
        }
        host_.rebuilding(each.name, true);
        for (const std::string& line : buildingStatements(history, each.name)) runner_.runStatement(where, line);
        host_.rebuilding(each.name, false);
        const instance* now = host_.find(each.name);
        const panel_state after = now != nullptr ? stateOf(*now) : panel_state();
        notePanelChanges(output_, each.name, library, each.before, after);
    }
    runner_.recordInto(&record_);
    return reloaded;
}

}  // namespace nelk_host_tool
