// The validator's host object, one per component: it holds the component to the host rules
// (host_rules.h) with every handed-out text in guarded pages, answers "TG" and "XI" with hostile
// texts in turn, can make calls from inside hostSend, and remembers what the component told it
// (its registrations and the controls it set) so that the checks can drive any component.
// Host's thread only.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/info_drivers.h"
#include "host_rules.h"
#include "nelk_host.h"

namespace nelk_validator {

// What the host answers "TG" and "XI" with, in turn; isNull entries are answered null.
struct answer_text {
    bool isNull;
    std::string text;
};

// An "IR" the component sent.
struct registration {
    int driver;
    int first;
    int last;
};

// A slot event the host owes a component: the slot's current text after it registered, or a
// write reported back to the component registered for the slot, as a panel host does.
struct owed_report {
    int driver;
    int slot;
    std::string text;
};

// What the host does beyond holding the component to the rules: by default it answers "PS" with
// 1 and sends nothing of its own; acting as a real host it also reports slots (owedReports()).
struct host_behaviour {
    int psAnswer = 1;           // what "PS" is answered with: 1 shown, 0 the layout is missing
    bool reportsSlots = false;  // after "IR": the current texts; after "IW": the write, to the registered writer
};

class validating_host : public nelk_host {
public:
    validating_host();
    void* hostSend(const char* text, int kind) override;

    // Texts answered to "TG" and "XI", used in rotation. Empty list: null answers.
    void answerWith(std::vector<answer_text> answers) { answers_ = std::move(answers); }
    // Called (one level deep) from inside hostSend for every line, to nest calls; the line is
    // valid during the call only.
    void nestWith(std::function<void(const std::string& line)> nested) { nested_ = std::move(nested); }
    void stopNesting() { nested_ = nullptr; }
    void behave(const host_behaviour& behaviour) { behaviour_ = behaviour; }
    // A slot's text as the host holds it, for reportsSlots.
    void storeSlot(int driver, int slot, const std::string& text) { slots_.store(driver, slot, text); }
    // The slot events owed since the last call, taken; the subject delivers them after the
    // outermost call returns. More than a host would ever owe for one event is a feedback loop:
    // the surplus is dropped and noted as a problem of meaning.
    std::vector<owed_report> takeOwedReports();
    // The subject delivered more owed events for one event than a host ever would: noted once.
    void feedbackLoop();
    static std::size_t owedAtMostForOneEvent();

    // The name the call record knows the component by (call_record.h); its answers are recorded.
    void recordAs(std::string name) { recordName_ = std::move(name); }
    // The subject tells the host of a query ("return...") it makes, outside any other call: a slot
    // written during it is a problem of meaning.
    void queryBegins(const std::string& text) { query_ = text; }
    void queryEnds() { query_.clear(); }
    // The subject tells the host of the timers it fired, which "ET" may stop.
    void timerFired(int id) { fired_.insert(id); }
    // Lines that are well-formed but would do the wrong thing to a real host, one sentence each:
    // two lines joined by a line feed, a panel that is no number, "ET" of a timer never fired,
    // registrations not ended before "AS", registrations that keep growing, writes that feed back,
    // a slot written by a query.
    const std::vector<std::string>& meaningProblems() const noexcept { return meaning_; }
    // Registrations of existing slots made and not yet ended with "IU".
    std::size_t liveRegistrations() const noexcept { return live_.count(); }
    // The lines of "PS" the component sent, for checks that look at the layouts they name.
    const std::vector<std::string>& shownLayouts() const noexcept { return layouts_; }  // each once, first shown first

    // The rules, for the subject that reports calls and deletion to them.
    nelk_test_kit::host_rules& rules() noexcept { return rules_; }
    const nelk_test_kit::host_rules& rules() const noexcept { return rules_; }

    // Every line, in order, unless keepLines(false): then only counted.
    const std::vector<std::string>& lines() const noexcept { return lines_; }
    void keepLines(bool keep) noexcept { keepLines_ = keep; }
    long long linesSent() const noexcept { return linesSent_; }
    // Held while the host handles a hostSend, and by the subject around a call's begin and end:
    // a component's own thread may send at any time.
    std::recursive_mutex& lock() noexcept { return lock_; }
    const std::vector<registration>& registrations() const noexcept { return registrations_; }
    // Control ids the component set properties of, each once, in the order first seen.
    const std::vector<std::string>& controls() const noexcept { return controls_; }

private:
    void* answerText(const std::string& line);
    void remember(const nelk_test_kit::command_line& line);
    void judgeMeaning(const nelk_test_kit::command_line& line, const std::string& text);
    void actOut(const nelk_test_kit::command_line& line);
    void meaning(const std::string& problem);

    nelk_test_kit::host_rules rules_;
    std::vector<std::string> lines_;
    std::vector<answer_text> answers_;
    std::size_t nextAnswer_ = 0;
    std::vector<registration> registrations_;
    std::vector<std::string> controls_;
    std::function<void(const std::string&)> nested_;
    bool nesting_ = false;
    bool keepLines_ = true;
    long long linesSent_ = 0;
    std::recursive_mutex lock_;
    host_behaviour behaviour_;
    nelk_host_tool::slot_store slots_;
    std::vector<owed_report> owed_;
    std::set<int> fired_;
    nelk_host_tool::slot_registrations live_;  // registrations of slots that exist, until "IU"
    std::vector<std::string> meaning_;
    std::set<std::string> meaningSeen_;  // each problem once
    std::vector<std::string> layouts_;
    bool feedbackNoted_ = false;
    std::string recordName_;
    std::string query_;  // the query in progress at the outermost call, or ""
};

}  // namespace nelk_validator
