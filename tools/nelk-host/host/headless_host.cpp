#include "headless_host.h"

#include <cstdint>

#include "call_timing.h"
#include "component_calls.h"
#include "component_time.h"
#include "process/fork_watch.h"
#include "process/process_guard.h"
#include "notifications.h"
#include "protocol_coverage.h"

namespace nelk_host_tool {

namespace {

void* word(std::intptr_t value) { return reinterpret_cast<void*>(value); }

std::string quotedOrNull(const std::optional<std::string>& text) {
    return text ? "'" + *text + "'" : "null";
}

}  // namespace

void* instance_host::hostSend(const char* text, int kind) {
    const component_time_scope timed(false);  // carrying the line out is the host's time
    return owner_.receive(source_, text, kind);
}

headless_host::headless_host(transcript& output, delivery_mode mode)
    : output_(output),
      queue_(mode, [this](const slot_event& event) { deliverSlot(event); }),
      verbs_(model_, output, [this](instance& target, int driver, int slot, const std::string& text) {
          report(target, driver, slot, text);
      }) {
    noteHostProcess();
    forksReported_ = forkedReturns();
}

headless_host::~headless_host() { removeAll(); }

instance* headless_host::live(const std::string& name, const char* action) {
    instance* target = model_.find(name);
    if (target == nullptr || target->phase != instance_phase::live) {
        output_.warning(name, std::string("no live instance \"") + name + "\" to " + action);
        return nullptr;
    }
    return target;
}

void headless_host::protocolError(const instance& source, const std::string& text) {
    ++protocolErrors_;
    output_.error("instance " + nelk_test_kit::escaped(source.name), text);
}

void headless_host::judgeCallTime(const instance& target) {
    const std::optional<double> seconds = takeCallOverBudget();
    if (!seconds) return;
    output_.warning(target.name, "the call took " + budgetText(*seconds) + " of the component's time, over the " +
                                     budgetText(callBudget()) +
                                     " budget of a call (--call-budget): a host's window would not respond meanwhile");
}

void headless_host::reportBreaches(instance& source) {
    const auto& breaches = source.rules.breaches();
    for (; source.breachesReported < breaches.size(); ++source.breachesReported)
        protocolError(source, nelk_test_kit::describe(breaches[source.breachesReported]));
    if (forkedReturns() > forksReported_) {
        forksReported_ = forkedReturns();
        protocolError(source, std::string("a process the component forked during ") + forkedDuring() +
                                  " came back into the host's code (its child returned from the call instead of calling "
                                  "exec or _exit): a host would run twice; the copy was ended");
    }
}

namespace {

// What a slot event or a timer carries, as fields of its deliver event.
nlohmann::ordered_json callDetail(const void* data, int kind) {
    nlohmann::ordered_json detail = nlohmann::ordered_json::object();
    if (kind == nelk_kind::slotValue && data != nullptr) {
        const slotNotify& record = *static_cast<const slotNotify*>(data);
        detail["driver"] = record.device;
        detail["slot"] = record.index;
        detail["slotText"] = record.slotText != nullptr ? nlohmann::ordered_json(record.slotText) : nlohmann::ordered_json();
    } else if (kind == nelk_kind::timerFired) {
        detail["timer"] = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
    }
    return detail;
}

}  // namespace

// Every call into a component goes through here: the instance's rules see the call begin and
// end (texts still out when its outermost call returns are breaches), and the queue delivers
// what waited once no call is in progress.
const char* headless_host::deliver(instance& target, void* data, int kind, const std::string& what) {
    output_.delivered(target.name, kind, what, callDetail(data, kind));
    queue_.enter();
    const char* result = callComponent(*target.component, target.rules, data, kind,
                                       "kind " + std::to_string(kind) + " " + nelk_test_kit::escaped(what) + " to " +
                                           nelk_test_kit::escaped(target.name));
    judgeCallTime(target);
    reportBreaches(target);
    reportForeignLines();
    queue_.leave();
    return result;
}

void headless_host::releaseLibrary(instance& target) {
    const nelk_process_guard::component_code library;  // its static destructors are the component's code
    // The last instance's reference unloads it: a crash from here on is the unloading's, not the
    // deletion's that came before it.
    const std::string unloading = "the unloading of " + nelk_test_kit::escaped(target.libraryFile) +
                                  " after the deletion of " + nelk_test_kit::escaped(target.name) +
                                  " (its static destructors and exit functions)";
    if (target.library.use_count() == 1) nelk_process_guard::setEvent(unloading.c_str());
    target.library.reset();
}

void headless_host::deliverSlot(const slot_event& event) {
    instance* target = model_.find(event.target);
    if (target == nullptr || target->phase != instance_phase::live || target->component == nullptr) return;
    nelk_test_kit::slot_notification notification(event.driver, event.slot, event.text);
    deliver(*target, notification.record(), nelk_kind::slotValue,
            "slot " + std::to_string(event.driver) + " " + std::to_string(event.slot) + " " + quotedOrNull(event.text));
}

void headless_host::report(instance& target, int driver, int slot, const std::string& text) {
    queue_.report(slot_event{target.name, driver, slot, text}, target.phase == instance_phase::live);
}

bool headless_host::load(const std::string& name, const std::string& library, const std::optional<std::string>& loadText,
                     std::string& error) {
    if (nameTaken(name, error)) return false;
    return load(name, library, model_.open(library), loadText, error);
}

bool headless_host::nameTaken(const std::string& name, std::string& error) const {
    const instance* existing = model_.find(name);
    if (existing == nullptr || existing->phase == instance_phase::gone) return false;
    error = "an instance named \"" + nelk_test_kit::escaped(name) + "\" already exists";
    return true;
}

bool headless_host::load(const std::string& name, const std::string& library,
                     const std::shared_ptr<nelk_test_kit::component_library>& opened,
                     const std::optional<std::string>& loadText, std::string& error) {
    if (nameTaken(name, error)) return false;
    if (!opened->loaded()) {
        error = opened->error();
        return false;
    }
    instance& target = model_.add(name);
    target.library = opened;
    target.libraryFile = library;
    target.loadText = loadText;
    target.host = std::make_unique<instance_host>(*this, target);

    output_.lifecycle(name, "create from " + library + " with load text " + quotedOrNull(loadText));
    queue_.enter();
    target.component = createComponent(*opened, target.host.get(), loadText ? loadText->c_str() : nullptr, target.rules,
                                       "the creation of " + nelk_test_kit::escaped(name));
    target.phase = target.component != nullptr ? instance_phase::live : instance_phase::gone;
    judgeCallTime(target);
    reportBreaches(target);
    reportForeignLines();
    queue_.leave();  // delivers the events for it that came while it was being created
    if (target.component == nullptr) {
        releaseLibrary(target);
        error = library + ": load_nelk_client_script returned null";
        return false;
    }
    return true;
}

bool headless_host::command(const std::string& name, const std::optional<std::string>& text,
                        std::optional<std::string>* answer) {
    instance* target = live(name, "send a command to");
    if (target == nullptr) return false;
    std::optional<std::string> copy;
    if (!text) cover(coverage_item::nullCommand);
    const std::size_t linesBefore = target->lines.size();
    queue_.enter();  // the give-back below belongs to the same step as the command
    const char* returned = deliver(*target, const_cast<char*>(text ? text->c_str() : nullptr), nelk_kind::commandText,
                                   "command " + quotedOrNull(text));
    if (returned != nullptr) {
        copy = readAnswer(returned);
        if (copy->empty()) output_.warning(name, "a kind-3 answer was an empty text; an empty answer should be null");
    }
    cover(copy ? coverage_item::answerText : coverage_item::answerNull);
    if (!copy && target->lines.size() == linesBefore) cover(coverage_item::ignoredCommand);
    output_.answered(name, copy ? &*copy : nullptr);
    if (returned != nullptr) {
        cover(coverage_item::answerGivenBack);
        deliver(*target, const_cast<char*>(returned), nelk_kind::giveBackAnswer, "give back the answer");
    }
    queue_.leave();
    if (answer != nullptr) *answer = copy;
    return true;
}

bool headless_host::control(const std::string& name, const std::optional<std::string>& controlId,
                        const std::optional<std::string>& commandText) {
    instance* target = live(name, "send a control event to");
    if (target == nullptr) return false;
    if (!controlId || !commandText) cover(coverage_item::nullText);
    nelk_test_kit::control_notification notification(controlId, commandText);
    deliver(*target, notification.record(), nelk_kind::controlEvent,
            "control " + quotedOrNull(controlId) + " " + quotedOrNull(commandText));
    return true;
}

bool headless_host::timer(const std::string& name, int id) {
    instance* target = live(name, "fire a timer on");
    if (target == nullptr) return false;
    target->timers.emplace(id, host_timer{});  // running until the component stops it
    deliver(*target, word(id), nelk_kind::timerFired, "timer " + std::to_string(id));
    const auto running = target->timers.find(id);
    if (running != target->timers.end() && running->second.interval == 0)
        output_.note(name, "timer " + std::to_string(id) + " is still running");
    return true;
}

bool headless_host::startTimer(const std::string& name, int id, long long interval, bool repeat) {
    instance* target = live(name, "start a timer for");
    if (target == nullptr) return false;
    target->timers[id] = host_timer{interval, repeat, model_.clock() + interval};
    output_.note(name, "timer " + std::to_string(id) + (repeat ? " fires every " : " fires once, in ") + std::to_string(interval) +
                           " ms of the host's clock");
    return true;
}

bool headless_host::stopTimer(const std::string& name, int id) {
    instance* target = live(name, "stop a timer of");
    if (target == nullptr) return false;
    if (target->timers.erase(id) == 0) output_.note(name, "timer " + std::to_string(id) + " was not running");
    return true;
}

int headless_host::advance(long long milliseconds) {
    const long long until = model_.clock() + milliseconds;
    const int mostFired = 100000;  // a 1 ms timer advanced by hours would never end
    int fired = 0;
    for (;;) {
        instance* next = nullptr;
        int nextId = 0;
        long long due = until + 1;
        for (instance* each : model_.inOrder()) {
            if (each->phase != instance_phase::live) continue;
            for (const auto& entry : each->timers) {
                if (entry.second.interval > 0 && entry.second.due < due) {
                    next = each;
                    nextId = entry.first;
                    due = entry.second.due;
                }
            }
        }
        if (next == nullptr) break;
        if (fired == mostFired) {
            output_.warning("host", "the clock stopped after " + std::to_string(fired) + " timer events in one advance");
            break;
        }
        model_.setClock(due);
        const host_timer before = next->timers[nextId];
        const std::string name = next->name;
        deliver(*next, word(nextId), nelk_kind::timerFired, "timer " + std::to_string(nextId));
        ++fired;
        // The component may have stopped it ("ET"), or it may be gone; otherwise it runs on, or
        // ends when it fires once.
        instance* after = model_.find(name);
        if (after == nullptr || after->phase != instance_phase::live) continue;
        auto running = after->timers.find(nextId);
        if (running == after->timers.end() || running->second.due != before.due) continue;
        if (before.repeat) {
            running->second.due += before.interval;
        } else {
            after->timers.erase(running);
        }
    }
    model_.setClock(until);
    return fired;
}

bool headless_host::advanceToNext() {
    long long due = -1;
    for (const instance* each : model_.inOrder()) {
        if (each->phase != instance_phase::live) continue;
        for (const auto& entry : each->timers) {
            if (entry.second.interval > 0 && (due < 0 || entry.second.due < due)) due = entry.second.due;
        }
    }
    if (due < 0) return false;
    advance(due > model_.clock() ? due - model_.clock() : 0);
    return true;
}

long long headless_host::clockStepFor(long long realMilliseconds) {
    if (!clockRunning_ || realMilliseconds <= 0) return 0;
    tickRest_ += static_cast<double>(realMilliseconds) * clockSpeed_;
    const long long whole = static_cast<long long>(tickRest_);
    tickRest_ -= static_cast<double>(whole);
    return whole;
}

long long headless_host::realMillisecondsToNextTimer() const {
    if (!clockRunning_ || clockSpeed_ <= 0) return -1;
    long long due = -1;
    for (const instance* each : model_.inOrder()) {
        if (each->phase != instance_phase::live) continue;
        for (const auto& entry : each->timers) {
            if (entry.second.interval > 0 && (due < 0 || entry.second.due < due)) due = entry.second.due;
        }
    }
    if (due < 0) return -1;
    const long long left = due > model_.clock() ? due - model_.clock() : 0;
    return static_cast<long long>(static_cast<double>(left) / clockSpeed_ + 0.999);
}

bool headless_host::number(const std::string& name, int value) {
    instance* target = live(name, "send a number to");
    if (target == nullptr) return false;
    deliver(*target, word(value), nelk_kind::numberValue, "number " + std::to_string(value));
    return true;
}

bool headless_host::data(const std::string& name, const std::optional<std::string>& text) {
    instance* target = live(name, "send data to");
    if (target == nullptr) return false;
    std::string copy = text.value_or("");
    deliver(*target, text ? &copy[0] : nullptr, nelk_kind::dataPointer, "data " + quotedOrNull(text));
    return true;
}

bool headless_host::notify(const std::string& name, int driver, int slot, const std::optional<std::string>& text) {
    instance* target = live(name, "notify");
    if (target == nullptr) return false;
    if (!text) cover(coverage_item::nullText);
    nelk_test_kit::slot_notification notification(driver, slot, text);
    deliver(*target, notification.record(), nelk_kind::slotValue,
            "slot " + std::to_string(driver) + " " + std::to_string(slot) + " " + quotedOrNull(text));
    return true;
}

bool headless_host::changeSlot(int driver, int slot, const std::string& text) {
    if (!slotExists(driver, slot)) {
        output_.warning("host", noSuchSlot(driver, slot));
        return false;
    }
    output_.note("host", "slot " + std::to_string(driver) + "/" + std::to_string(slot) + " = " + quotedOrNull(text));
    cover(coverage_item::hostSlotChange);
    verbs_.writeSlot(driver, slot, text);
    return true;
}

bool headless_host::raw(const std::string& name, int kind, const std::optional<long long>& word) {
    instance* target = live(name, "deliver to");
    if (target == nullptr) return false;
    void* data = word ? reinterpret_cast<void*>(static_cast<std::intptr_t>(*word)) : nullptr;
    deliver(*target, data, kind, "raw kind " + std::to_string(kind) + " with " + (word ? std::to_string(*word) : "null"));
    return true;
}

bool headless_host::remove(const std::string& name) {
    instance* target = live(name, "delete");
    if (target == nullptr) return false;
    target->phase = instance_phase::deleting;
    output_.lifecycle(name, "delete");
    queue_.enter();
    deleteAsAHost(target->component, target->rules, "the deletion of " + nelk_test_kit::escaped(name));
    target->component = nullptr;
    target->phase = instance_phase::gone;
    target->registrations.clear();
    judgeCallTime(*target);
    reportBreaches(*target);
    reportForeignLines();
    releaseLibrary(*target);  // the last instance of a library unloads it
    queue_.leave();
    return true;
}

void headless_host::removeAll() {
    std::vector<instance*> all = model_.inOrder();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if ((*it)->phase == instance_phase::live) remove((*it)->name);
    }
}

void headless_host::rebuilding(const std::string& name, bool rebuilt) {
    if (rebuilt) {
        rebuilding_.insert(name);
    } else {
        rebuilding_.erase(name);
    }
}

void headless_host::reportForeignLines() {
    std::vector<foreign_line> lines;
    {
        std::lock_guard<std::mutex> hold(foreignLock_);
        lines.swap(foreignLines_);
    }
    for (const foreign_line& each : lines) {
        ++protocolErrors_;
        output_.error("instance " + nelk_test_kit::escaped(each.instance),
                      "a line from a thread other than the host's, refused (line: " + nelk_test_kit::escaped(each.line) + ")");
    }
}

void* headless_host::receive(instance& source, const char* text, int kind) {
    if (std::this_thread::get_id() != hostThread_) {
        // Nothing of the host is touched from here: the line waits for the host's thread to say so.
        std::lock_guard<std::mutex> hold(foreignLock_);
        foreignLines_.push_back({source.name, kind == nelk_send::commandLine && text != nullptr ? text : "(a give-back)"});
        return nullptr;
    }
    const nelk_process_guard::host_code ours;
    if (kind == nelk_send::commandLine && text != nullptr) {
        source.lines.emplace_back(text);
        output_.sent(source.name, source.lines.back());
    }
    if (source.phase == instance_phase::gone && kind == nelk_send::commandLine) {
        protocolError(source, "a line from a component that was already deleted (line: " +
                                  nelk_test_kit::escaped(text != nullptr ? text : "") + ")");
        return nullptr;
    }
    const std::optional<nelk_test_kit::command_line> line = receiveLine(source.rules, text, kind);
    reportBreaches(source);
    if (!line) return nullptr;
    if (line->verb == nelk_verb::IW && rebuilding_.count(source.name) != 0) {
        output_.note(source.name, "not written while reload rebuilds the instance: the slot keeps its present text");
        return nullptr;
    }
    std::string shownAnswer;
    void* answer = verbs_.carryOut(source, *line, source.lines.back(), shownAnswer);
    if (!shownAnswer.empty()) output_.hostAnswered(source.name, shownAnswer);
    return answer;
}

}  // namespace nelk_host_tool
