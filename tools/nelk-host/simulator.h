// The headless panel host: loads component libraries, keeps panels, info drivers and timers,
// carries out every command line, delivers events, and checks the ownership rules.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "component_library.h"
#include "nelk_host.h"
#include "panel_layout.h"
#include "transcript.h"

namespace nelk_host_tool {

// When the host's own events (slot values after "IW" and "IR") reach the components.
enum class delivery_mode {
    queued,     // after the current call into the component returns, in order
    immediate,  // at once, from inside hostSend: nested calls
};

class simulator;

// One instance's host object, so that every line is known to come from its instance.
class instance_host : public nelk_host {
public:
    instance_host(simulator& owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    void* hostSend(const char* text, int kind) override;

private:
    simulator& owner_;
    std::string name_;
};

// A text the host answered "TG" or "XI" with; owned by the host until the component gives it
// back, then kept (overwritten) until the outermost call returns, to recognise a second give-back.
struct handed_out_text {
    std::unique_ptr<char[]> bytes;
    std::string line;
    bool givenBack = false;
};

enum class instance_phase { creating, live, deleting, gone };

// One component instance and the panel it shows.
struct instance {
    std::string name;
    std::shared_ptr<nelk_test_kit::component_library> library;
    std::unique_ptr<instance_host> host;
    nelk_client_callback* component = nullptr;
    instance_phase phase = instance_phase::creating;
    panel_layout panel;
    std::map<int, std::vector<std::pair<int, int>>> registrations;  // driver -> slot ranges
    std::set<int> runningTimers;
    std::vector<std::string> lines;  // every line sent, in order
    std::size_t checked = 0;         // how many of them an expectation has consumed
    bool shutdownAnnounced = false;
    std::map<const char*, handed_out_text> answers;
};

class simulator {
public:
    simulator(transcript& output, delivery_mode mode);
    ~simulator();
    simulator(const simulator&) = delete;
    simulator& operator=(const simulator&) = delete;

    // Opens `library` (once per path) and creates an instance with the load text (nullopt: a
    // null pointer). False with `error` set when the library or its entry cannot be had, the
    // entry returns null, or the name is taken by a live instance.
    bool load(const std::string& name, const std::string& library, const std::optional<std::string>& loadText,
              std::string& error);
    // Kind 3; the answer is copied, shown, and given back with kind 5. nullopt for null.
    std::optional<std::string> command(const std::string& name, const std::optional<std::string>& text);
    void control(const std::string& name, const std::optional<std::string>& controlId,
                 const std::optional<std::string>& commandText);
    void timer(const std::string& name, int id);
    void number(const std::string& name, int value);
    void data(const std::string& name, const std::optional<std::string>& text);
    // A kind-1 record straight to one instance, registered or not.
    void notify(const std::string& name, int driver, int slot, const std::optional<std::string>& text);
    // A host-side change of a slot: stored, then reported to every registered instance.
    void changeSlot(int driver, int slot, const std::string& text);
    // Deletes the instance through its virtual destructor and unloads its library when unused.
    void remove(const std::string& name);
    void removeAll();

    instance* find(const std::string& name);
    // The text of a driver's slot, null when never written.
    const std::string* slotText(int driver, int slot) const;
    // The panel's controls and properties, one control a line.
    std::string describePanel(const instance& target) const;
    std::vector<std::string> instanceNames() const;

    int protocolErrors() const noexcept { return protocolErrors_; }
    void setMode(delivery_mode mode) noexcept { mode_ = mode; }
    delivery_mode mode() const noexcept { return mode_; }

    // Called by instance_host.
    void* receive(const std::string& name, const char* text, int kind);

private:
    struct slot_event {
        std::string target;
        int driver;
        int slot;
        std::string text;
    };

    instance* live(const std::string& name, const char* action);
    const char* deliver(instance& target, void* data, int kind);
    void afterCall();
    void finishCall();
    void storeAndReport(int driver, int slot, const std::string& text);
    void drain();
    void report(instance& target, int driver, int slot, const std::string& text);
    void deliverSlot(instance& target, int driver, int slot, const std::string& text);
    void protocolError(const instance& source, const std::string& line, const std::string& text);

    void* carryOut(instance& source, const std::string& line, std::string& shownAnswer);
    void* handOut(instance& source, const std::string& line, const std::string& text);
    void giveBack(instance& source, const char* text);
    void* showPanel(instance& source, const std::vector<std::string>& texts);
    void setProperty(instance& source, const std::vector<std::string>& texts);
    void* getProperty(instance& source, const std::string& line, const std::vector<std::string>& texts,
                      std::string& shownAnswer);
    void* listControls(instance& source, const std::string& line, const std::vector<std::string>& texts,
                       std::string& shownAnswer);
    void registerSlots(instance& source, const std::vector<long long>& numbers, bool add);
    void writeSlot(instance& source, const std::vector<long long>& numbers, const std::string& text);

    transcript& output_;
    delivery_mode mode_;
    std::map<std::string, std::weak_ptr<nelk_test_kit::component_library>> libraries_;
    std::map<std::string, std::unique_ptr<instance>> instances_;
    std::vector<std::string> order_;  // instance names in creation order
    std::map<int, std::map<int, std::string>> drivers_;
    std::deque<slot_event> queue_;
    int depth_ = 0;
    bool draining_ = false;
    int protocolErrors_ = 0;
};

}  // namespace nelk_host_tool
