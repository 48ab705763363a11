#include "simulator.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "command_arguments.h"
#include "host_records.h"
#include "line_grammar.h"
#include "notifications.h"

namespace nelk_host_tool {

namespace {

const int lastDriver = 999;
const int lastSlot = 4096;
const char hostPanel[] = "1";

void* word(std::intptr_t value) { return reinterpret_cast<void*>(value); }

std::string quotedOrNull(const std::optional<std::string>& text) { return text ? "'" + *text + "'" : "null"; }

}  // namespace

void* instance_host::hostSend(const char* text, int kind) { return owner_.receive(name_, text, kind); }

simulator::simulator(transcript& output, delivery_mode mode) : output_(output), mode_(mode) {}

simulator::~simulator() { removeAll(); }

instance* simulator::find(const std::string& name) {
    auto found = instances_.find(name);
    return found != instances_.end() ? found->second.get() : nullptr;
}

std::vector<std::string> simulator::instanceNames() const { return order_; }

const std::string* simulator::slotText(int driver, int slot) const {
    auto found = drivers_.find(driver);
    if (found == drivers_.end()) return nullptr;
    auto text = found->second.find(slot);
    return text != found->second.end() ? &text->second : nullptr;
}

instance* simulator::live(const std::string& name, const char* action) {
    instance* target = find(name);
    if (target == nullptr || target->phase != instance_phase::live) {
        output_.warning(name, std::string("no live instance \"") + name + "\" to " + action);
        return nullptr;
    }
    return target;
}

void simulator::protocolError(const instance& source, const std::string& line, const std::string& text) {
    ++protocolErrors_;
    output_.error("instance " + source.name, text + (line.empty() ? "" : " (line: " + escaped(line) + ")"));
}

// Every call of a component's callback goes through here: it counts the nesting, and once the
// outermost call has returned it checks that the texts handed out came back and delivers the
// queued events.
const char* simulator::deliver(instance& target, void* data, int kind) {
    ++depth_;
    const char* result = target.component->callback(data, kind);
    --depth_;
    afterCall();
    return result;
}

void simulator::afterCall() {
    if (depth_ != 0) return;
    finishCall();
    drain();
}

void simulator::finishCall() {
    for (auto& entry : instances_) {
        instance& target = *entry.second;
        for (auto it = target.answers.begin(); it != target.answers.end();) {
            if (it->second.givenBack) {
                it = target.answers.erase(it);
                continue;
            }
            protocolError(target, it->second.line, "the answer was not given back with kind 5 before the call returned");
            it->second.givenBack = true;  // reported once; kept alive in case the component still reads it
            ++it;
        }
    }
}

void simulator::drain() {
    if (draining_) return;
    draining_ = true;
    while (!queue_.empty()) {
        slot_event event = std::move(queue_.front());
        queue_.pop_front();
        instance* target = find(event.target);
        if (target != nullptr && target->phase == instance_phase::live && target->component != nullptr)
            deliverSlot(*target, event.driver, event.slot, event.text);
    }
    draining_ = false;
}

void simulator::deliverSlot(instance& target, int driver, int slot, const std::string& text) {
    nelk_test_kit::slot_notification notification(driver, slot, text);
    output_.delivered(target.name, 1, "slot " + std::to_string(driver) + " " + std::to_string(slot) + " '" + text + "'");
    deliver(target, notification.record(), 1);
}

// Reports a slot's text to one instance: at once when immediate and the instance can take it,
// otherwise after the current call.
void simulator::report(instance& target, int driver, int slot, const std::string& text) {
    if (mode_ == delivery_mode::immediate && target.phase == instance_phase::live && depth_ > 0) {
        deliverSlot(target, driver, slot, text);
        return;
    }
    queue_.push_back(slot_event{target.name, driver, slot, text});
    if (depth_ == 0) drain();
}

bool simulator::load(const std::string& name, const std::string& library, const std::optional<std::string>& loadText,
                     std::string& error) {
    instance* existing = find(name);
    if (existing != nullptr && existing->phase != instance_phase::gone) {
        error = "an instance named \"" + name + "\" already exists";
        return false;
    }
    std::shared_ptr<nelk_test_kit::component_library> opened = libraries_[library].lock();
    if (!opened) {
        opened = std::make_shared<nelk_test_kit::component_library>(library);
        if (!opened->loaded()) {
            error = opened->error();
            return false;
        }
        libraries_[library] = opened;
    }
    auto created = std::make_unique<instance>();
    created->name = name;
    created->library = opened;
    created->host = std::make_unique<instance_host>(*this, name);
    instance& target = *created;
    if (existing == nullptr) order_.push_back(name);
    instances_[name] = std::move(created);

    output_.delivered(name, 0, "create from " + library + " with load text " + quotedOrNull(loadText));
    ++depth_;
    nelk_client_callback* component = opened->create(target.host.get(), loadText ? loadText->c_str() : nullptr);
    --depth_;
    target.component = component;
    target.phase = component != nullptr ? instance_phase::live : instance_phase::gone;
    afterCall();  // delivers the events for it that came while it was being created
    if (component == nullptr) {
        target.library.reset();
        error = library + ": load_nelk_client_script returned null";
        return false;
    }
    return true;
}

std::optional<std::string> simulator::command(const std::string& name, const std::optional<std::string>& text) {
    instance* target = live(name, "send a command to");
    if (target == nullptr) return std::nullopt;
    output_.delivered(name, 3, "command " + quotedOrNull(text));
    const char* answer = nullptr;
    std::optional<std::string> copy;
    ++depth_;  // the give-back below belongs to the same step as the command
    answer = deliver(*target, const_cast<char*>(text ? text->c_str() : nullptr), 3);
    if (answer != nullptr) {
        copy = std::string(answer);
        if (copy->empty()) output_.warning(name, "a kind-3 answer was an empty text; an empty answer should be null");
    }
    output_.answered(name, copy ? &*copy : nullptr);
    if (answer != nullptr) {
        output_.delivered(name, 5, "give back the answer");
        deliver(*target, const_cast<char*>(answer), 5);
    }
    --depth_;
    afterCall();
    return copy;
}

void simulator::control(const std::string& name, const std::optional<std::string>& controlId,
                        const std::optional<std::string>& commandText) {
    instance* target = live(name, "send a control event to");
    if (target == nullptr) return;
    nelk_test_kit::control_notification notification(controlId, commandText);
    output_.delivered(name, 2, "control " + quotedOrNull(controlId) + " " + quotedOrNull(commandText));
    deliver(*target, notification.record(), 2);
}

void simulator::timer(const std::string& name, int id) {
    instance* target = live(name, "fire a timer on");
    if (target == nullptr) return;
    target->runningTimers.insert(id);
    output_.delivered(name, 4, "timer " + std::to_string(id));
    deliver(*target, word(id), 4);
    if (target->runningTimers.count(id) != 0) output_.note(name, "timer " + std::to_string(id) + " is still running");
}

void simulator::number(const std::string& name, int value) {
    instance* target = live(name, "send a number to");
    if (target == nullptr) return;
    output_.delivered(name, 7, "number " + std::to_string(value));
    deliver(*target, word(value), 7);
}

void simulator::data(const std::string& name, const std::optional<std::string>& text) {
    instance* target = live(name, "send data to");
    if (target == nullptr) return;
    std::string copy = text.value_or("");
    output_.delivered(name, 6, "data " + quotedOrNull(text));
    deliver(*target, text ? &copy[0] : nullptr, 6);
}

void simulator::notify(const std::string& name, int driver, int slot, const std::optional<std::string>& text) {
    instance* target = live(name, "notify");
    if (target == nullptr) return;
    nelk_test_kit::slot_notification notification(driver, slot, text);
    output_.delivered(name, 1, "slot " + std::to_string(driver) + " " + std::to_string(slot) + " " + quotedOrNull(text));
    deliver(*target, notification.record(), 1);
}

void simulator::changeSlot(int driver, int slot, const std::string& text) {
    if (driver < 1 || driver > lastDriver || slot < 1 || slot > lastSlot) {
        output_.warning("host", "no slot " + std::to_string(driver) + "/" + std::to_string(slot) +
                                    " (drivers 1-999, slots 1-4096)");
        return;
    }
    output_.note("host", "slot " + std::to_string(driver) + "/" + std::to_string(slot) + " = '" + text + "'");
    storeAndReport(driver, slot, text);
}

void simulator::storeAndReport(int driver, int slot, const std::string& text) {
    drivers_[driver][slot] = text;
    for (const std::string& name : order_) {
        instance& target = *instances_[name];
        if (target.phase != instance_phase::live && target.phase != instance_phase::creating) continue;
        auto ranges = target.registrations.find(driver);
        if (ranges == target.registrations.end()) continue;
        for (const auto& range : ranges->second) {
            if (slot >= range.first && slot <= range.second) {
                report(target, driver, slot, text);
                break;
            }
        }
    }
}

void simulator::remove(const std::string& name) {
    instance* target = live(name, "delete");
    if (target == nullptr) return;
    target->phase = instance_phase::deleting;
    output_.delivered(name, 0, "delete");
    nelk_client_callback* component = target->component;
    ++depth_;
    delete component;
    --depth_;
    target->component = nullptr;
    target->phase = instance_phase::gone;
    target->registrations.clear();
    if (!target->shutdownAnnounced) protocolError(*target, "", "deleted without announcing its shutdown with \"AS\"");
    target->library.reset();  // the last instance of a library unloads it
    afterCall();
}

void simulator::removeAll() {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        instance* target = find(*it);
        if (target != nullptr && target->phase == instance_phase::live) remove(*it);
    }
}

std::string simulator::describePanel(const instance& target) const {
    std::string text;
    if (target.panel.controls.empty()) return "  (no controls)\n";
    for (const panel_control& each : target.panel.controls) {
        text += "  " + each.id + (each.type.empty() ? "" : " (" + each.type + ")") + ":";
        for (const auto& property : each.properties) text += " " + property.first + "=\"" + escaped(property.second) + "\"";
        text += "\n";
    }
    return text;
}

void* simulator::receive(const std::string& name, const char* text, int kind) {
    instance* source = find(name);
    if (source == nullptr) return nullptr;
    if (kind == 5) {
        giveBack(*source, text);
        return nullptr;
    }
    if (kind != 0) {
        protocolError(*source, text != nullptr ? text : "", "hostSend with kind " + std::to_string(kind) + " (only 0 and 5 exist)");
        return nullptr;
    }
    if (text == nullptr) {
        protocolError(*source, "", "hostSend with a null command line");
        return nullptr;
    }
    const std::string line(text);
    source->lines.push_back(line);
    output_.sent(name, line);
    if (source->shutdownAnnounced) {
        protocolError(*source, line, "a line after \"AS\"");
        return nullptr;
    }
    if (source->phase == instance_phase::gone) {
        protocolError(*source, line, "a line from a component that was already deleted");
        return nullptr;
    }
    const std::string problem = nelk_test_kit::lineProblem(text);
    if (!problem.empty()) {
        protocolError(*source, line, problem);
        return nullptr;
    }
    std::string shownAnswer;
    void* answer = carryOut(*source, line, shownAnswer);
    if (!shownAnswer.empty()) output_.hostAnswered(name, shownAnswer);
    return answer;
}

void* simulator::carryOut(instance& source, const std::string& line, std::string& shownAnswer) {
    const command_arguments arguments = readArguments(line);
    const std::string& verb = arguments.verb;
    if (verb == "PS") {
        void* shown = showPanel(source, arguments.texts);
        shownAnswer = shown != nullptr ? "1" : "0";
        return shown;
    }
    if (verb == "TP") {
        setProperty(source, arguments.texts);
        return nullptr;
    }
    if (verb == "TG") return getProperty(source, line, arguments.texts, shownAnswer);
    if (verb == "XI") return listControls(source, line, arguments.texts, shownAnswer);
    if (verb == "IR") {
        registerSlots(source, arguments.numbers, arguments.add);
        return nullptr;
    }
    if (verb == "IU") {
        const int driver = static_cast<int>(arguments.numbers.at(0));
        if (source.registrations.erase(driver) == 0) output_.note(source.name, "was not registered for driver " + std::to_string(driver));
        return nullptr;
    }
    if (verb == "IW") {
        writeSlot(source, arguments.numbers, arguments.texts.at(0));
        return nullptr;
    }
    if (verb == "ET") {
        const int id = static_cast<int>(arguments.numbers.at(0));
        if (source.runningTimers.erase(id) == 0) output_.note(source.name, "timer " + std::to_string(id) + " was not running");
        return nullptr;
    }
    // "AS"
    source.shutdownAnnounced = true;
    if (source.phase != instance_phase::deleting) protocolError(source, line, "\"AS\" sent while the component was not being deleted");
    return nullptr;
}

void* simulator::handOut(instance& source, const std::string& line, const std::string& text) {
    std::unique_ptr<char[]> bytes(new char[text.size() + 1]);
    std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
    char* pointer = bytes.get();
    source.answers[pointer] = handed_out_text{std::move(bytes), line, false};
    return pointer;
}

void simulator::giveBack(instance& source, const char* text) {
    auto found = source.answers.find(text);
    if (found == source.answers.end()) {
        protocolError(source, "", "gave back (kind 5) a pointer the host never handed out");
        return;
    }
    if (found->second.givenBack) {
        protocolError(source, found->second.line, "gave back the same answer twice");
        return;
    }
    found->second.givenBack = true;
    std::memset(found->second.bytes.get(), '#', std::strlen(found->second.bytes.get()));
}

void* simulator::showPanel(instance& source, const std::vector<std::string>& texts) {
    const std::string& panel = texts.at(0);
    const std::string& path = texts.at(1);
    if (panel != hostPanel) {
        output_.warning(source.name, "each instance shows panel 1; panel '" + panel + "' is not shown");
        return nullptr;
    }
    std::string problem;
    source.panel = loadLayout(path, problem);
    if (!problem.empty()) {
        output_.warning(source.name, problem);
        if (source.panel.controls.empty()) return nullptr;
    }
    output_.note(source.name, "panel 1 shows " + path + " (" + std::to_string(source.panel.controls.size()) + " controls)");
    return word(1);
}

void simulator::setProperty(instance& source, const std::vector<std::string>& texts) {
    const std::string& assignment = texts.at(0);
    const std::string& panel = texts.at(1);
    const std::string& id = texts.at(2);
    if (panel != hostPanel) {
        output_.warning(source.name, "no panel '" + panel + "'; the property is not set");
        return;
    }
    const std::size_t equals = assignment.find('=');
    const std::string property = assignment.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : assignment.substr(equals + 1);
    panel_control* target = source.panel.find(id);
    if (target == nullptr) {
        output_.warning(source.name, "control '" + id + "' is not in the layout; it is created");
        source.panel.controls.push_back(panel_control{id, "", {}});
        target = &source.panel.controls.back();
    }
    target->set(property, value);
}

void* simulator::getProperty(instance& source, const std::string& line, const std::vector<std::string>& texts,
                             std::string& shownAnswer) {
    const std::string& panel = texts.at(0);
    const std::string& id = texts.at(1);
    const std::string& property = texts.at(2);
    const panel_control* target = panel == hostPanel ? source.panel.find(id) : nullptr;
    if (target == nullptr) {
        output_.warning(source.name, "no control '" + id + "' on panel '" + panel + "'; the answer is null");
        shownAnswer = "null";
        return nullptr;
    }
    std::string answer;
    if (property == "all") {
        for (const auto& entry : target->properties) answer += (answer.empty() ? "" : "\n") + entry.first + "=" + entry.second;
    } else {
        const std::string* value = target->find(property);
        answer = property + "=" + (value != nullptr ? *value : "");
    }
    shownAnswer = "\"" + answer + "\"";
    return handOut(source, line, answer);
}

void* simulator::listControls(instance& source, const std::string& line, const std::vector<std::string>& texts,
                              std::string& shownAnswer) {
    const std::string& panel = texts.at(0);
    const std::string& filter = texts.at(1);
    std::string answer;
    if (panel == hostPanel) {
        for (const panel_control& each : source.panel.controls) {
            if (each.id.compare(0, filter.size(), filter) == 0) answer += (answer.empty() ? "" : ",") + each.id;
        }
    } else {
        output_.warning(source.name, "no panel '" + panel + "'; no controls listed");
    }
    shownAnswer = "\"" + answer + "\"";
    return handOut(source, line, answer);
}

void simulator::registerSlots(instance& source, const std::vector<long long>& numbers, bool add) {
    const long long driver = numbers.at(0);
    if (driver < 1 || driver > lastDriver) {
        output_.note(source.name, "no driver " + std::to_string(driver) + "; nothing registered");
        return;
    }
    auto& ranges = source.registrations[static_cast<int>(driver)];
    if (!add) ranges.clear();
    const int first = static_cast<int>(std::max<long long>(numbers.at(1), 1));
    const int last = static_cast<int>(std::min<long long>(numbers.at(2), lastSlot));
    if (first > last) {
        output_.note(source.name, "registered for no slot of driver " + std::to_string(driver));
        return;
    }
    ranges.emplace_back(first, last);
    // A real host reports the current texts of the slots just registered.
    auto stored = drivers_.find(static_cast<int>(driver));
    if (stored == drivers_.end()) return;
    for (auto it = stored->second.lower_bound(first); it != stored->second.end() && it->first <= last; ++it)
        report(source, static_cast<int>(driver), it->first, it->second);
}

void simulator::writeSlot(instance& source, const std::vector<long long>& numbers, const std::string& text) {
    const long long driver = numbers.at(0);
    const long long slot = numbers.at(1);
    if (driver < 1 || driver > lastDriver || slot < 1 || slot > lastSlot) {
        output_.warning(source.name, "no slot " + std::to_string(driver) + "/" + std::to_string(slot) + "; nothing written");
        return;
    }
    storeAndReport(static_cast<int>(driver), static_cast<int>(slot), text);
}

}  // namespace nelk_host_tool
