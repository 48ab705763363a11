// Carries out a component's command lines on the host model, as a panel host does: "PS" shows a
// layout, "TP"/"TG" set and read properties, "XI" lists controls, "IR"/"IU"/"IW" register and
// write info-driver slots, "ET" stops a timer. "AS" needs nothing here: the host rules note it.
// Host's thread only.
#pragma once

#include <functional>
#include <string>

#include "host_model.h"
#include "line_parser.h"
#include "transcript.h"

namespace nelk_host_tool {

class verb_handlers {
public:
    // report: hands a slot value to one instance (now or later, as the delivery mode says).
    // model, output: kept by reference; they outlive the handlers.
    verb_handlers(host_model& model, transcript& output,
                  std::function<void(instance& target, int driver, int slot, const std::string& text)> report)
        : model_(model), output_(output), report_(std::move(report)) {}

    // Carries out one well-formed line of `source`. Returns the host's answer: for "PS" 1 or
    // null, for "TG" and "XI" a text handed out through source.rules (or null), otherwise null.
    // shownAnswer receives the answer as the transcript shows it ("1", a quoted text, "null"),
    // or stays empty for verbs whose answer is not shown.
    void* carryOut(instance& source, const nelk_test_kit::command_line& line, const std::string& text,
                   std::string& shownAnswer);

    // A host-side write of a slot: stored, then reported to every instance registered for it.
    void writeSlot(int driver, int slot, const std::string& text);

private:
    void* showPanel(instance& source, const nelk_test_kit::command_line& line);
    void setProperty(instance& source, const nelk_test_kit::command_line& line);
    void* getProperty(instance& source, const nelk_test_kit::command_line& line, const std::string& text,
                      std::string& shownAnswer);
    void* listControls(instance& source, const nelk_test_kit::command_line& line, const std::string& text,
                       std::string& shownAnswer);
    void registerSlots(instance& source, const nelk_test_kit::command_line& line);
    void unregister(instance& source, int driver);
    // "AS" while registrations are live: a warning (--strict fails it), for a host deletes a
    // panel whenever the operator closes it, bound or not.
    void shutDown(instance& source);
    void write(instance& source, const nelk_test_kit::command_line& line);
    void stopTimer(instance& source, int id);

    host_model& model_;
    transcript& output_;
    std::function<void(instance&, int, int, const std::string&)> report_;
};

}  // namespace nelk_host_tool
