// What the headless host keeps: the component instances with their panels, registrations and
// timers, the info drivers' slot texts (info_drivers.h), and the libraries they were loaded from. Plain state; the
// headless host changes it, the verb handlers carry lines out on it. Host's thread only.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "component_library.h"
#include "host_rules.h"
#include "info_drivers.h"
#include "nelk_host.h"
#include "panel_layout.h"

namespace nelk_host_tool {

enum class instance_phase { creating, live, deleting, gone };

class headless_host;
struct instance;

// A timer the host runs for an instance: started by the panel's layout or a statement, fired
// (kind 4) on the host's clock, stopped by the component's "ET". One fired only by statements
// has no interval.
struct host_timer {
    long long interval = 0;  // milliseconds; 0: not on the clock
    bool repeat = true;
    long long due = 0;       // the clock's time it fires next
};

// One instance's host object, so that every line is known to come from its instance. Lives as
// long as its instance.
class instance_host : public nelk_host {
public:
    instance_host(headless_host& owner, instance& source) : owner_(owner), source_(source) {}
    void* hostSend(const char* text, int kind) override;

private:
    headless_host& owner_;
    instance& source_;
};

// One component instance and the panel it shows. Owned by the host model; a pointer to it stays
// valid until an instance of the same name is loaded again or the model is destroyed.
struct instance {
    std::string name;
    std::shared_ptr<nelk_test_kit::component_library> library;
    std::string libraryFile;  // the library's file as the statement named it (made absolute)
    std::optional<std::string> loadText;  // what the entry was given (nullopt: a null pointer)
    std::unique_ptr<instance_host> host;
    nelk_client_callback* component = nullptr;
    instance_phase phase = instance_phase::creating;
    panel_layout panel;
    slot_registrations registrations;  // what it registered with the info drivers
    std::map<int, host_timer> timers;  // the running ones, by id
    std::vector<std::string> lines;  // every line sent, in order
    std::size_t checked = 0;         // how many of them an expectation has consumed
    nelk_test_kit::host_rules rules{nelk_test_kit::plainTextStorage(), true};
    std::size_t breachesReported = 0;  // how many of rules.breaches() are reported
};

// `text` with every "${load-text}" replaced by `loadText` (nothing for a null load text): how
// statements and scripted answers stay independent of where the library's folder is.
std::string withLoadText(std::string text, const std::optional<std::string>& loadText);

class host_model {
public:
    host_model() = default;
    host_model(const host_model&) = delete;
    host_model& operator=(const host_model&) = delete;

    // The instance of that name, gone ones included; null when there never was one.
    instance* find(const std::string& name);
    const instance* find(const std::string& name) const;
    // A new instance under `name`, replacing a gone one of that name. The caller checks that no
    // other is alive.
    instance& add(const std::string& name);
    // Instances in creation order; valid while the model lives and no instance is added.
    std::vector<instance*> inOrder();
    std::vector<const instance*> inOrder() const;

    // The library at `path`, opened once and shared while any instance uses it; the opened
    // library (check loaded()) is kept only when it loaded. From a private copy when
    // loadPrivateCopies(true) (library_files.h), so that a rebuild of the file leaves it alone.
    std::shared_ptr<nelk_test_kit::component_library> open(const std::string& path);
    // The library at `path` opened anew (the file as it is now), beside any copy already open;
    // the next open() gives this one when it loaded.
    std::shared_ptr<nelk_test_kit::component_library> openAgain(const std::string& path);
    void loadPrivateCopies(bool copies) noexcept { privateCopies_ = copies; }

    // The info drivers' slot texts; valid while the model lives.
    slot_store& slots() noexcept { return slots_; }
    const slot_store& slots() const noexcept { return slots_; }

    // The panel's controls and properties, one control a line.
    static std::string describePanel(const instance& target);

    // The host's clock, in milliseconds since the host began: it moves only when advanced (run,
    // the prompt) or with real time (serve).
    long long clock() const noexcept { return clock_; }
    void setClock(long long milliseconds) noexcept { clock_ = milliseconds; }

    // Answers the host gives, in order, to the next "PS", "TG" or "XI" lines that the instance
    // `name` (live or yet to be loaded) sends with exactly that text, in place of what the model
    // would answer: a real host's answers, replayed (a trace). For "PS" the text is the number;
    // nullopt is a null answer (0 for "PS"). `line` and a text answer may hold ${load-text}, which
    // stands for the instance's load text when it sends the line. `where` names the statement
    // that scripted it, for the report of answers never used.
    void scriptAnswer(const std::string& name, const std::string& line, std::optional<std::string> answer,
                      const std::string& where = std::string());
    // The next scripted answer to the line `target` sent, taken off the list, with ${load-text}
    // put in; false when none is scripted.
    bool takeScriptedAnswer(const instance& target, const std::string& line, std::optional<std::string>& answer);
    // The scripted answers no line took, in the order scripted: the statement that scripted each
    // (`where`) and what it waits for. Emptied by the call.
    struct unused_answer {
        std::string where;
        std::string name;
        std::string line;
    };
    std::vector<unused_answer> takeUnusedAnswers();

private:
    std::map<std::string, std::weak_ptr<nelk_test_kit::component_library>> libraries_;
    std::map<std::string, std::unique_ptr<instance>> instances_;
    std::vector<std::string> order_;  // instance names in creation order
    slot_store slots_;
    bool privateCopies_ = false;
    long long clock_ = 0;
    struct scripted_answer {
        std::string name;
        std::string line;
        std::optional<std::string> answer;
        std::string where;
    };
    std::vector<scripted_answer> scripted_;  // in the order scripted; the first that fits is taken
};

}  // namespace nelk_host_tool
