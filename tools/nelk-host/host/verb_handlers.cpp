#include "verb_handlers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "protocol_coverage.h"

namespace nelk_host_tool {

namespace {

// The one panel each instance shows.
const char hostPanel[] = "1";

void* word(std::intptr_t value) { return reinterpret_cast<void*>(value); }

std::string shownText(const std::string& text) { return "\"" + nelk_test_kit::escaped(text) + "\""; }

}  // namespace

void* verb_handlers::carryOut(instance& source, const nelk_test_kit::command_line& line, const std::string& text,
                              std::string& shownAnswer) {
    std::optional<std::string> scripted;
    const bool isScripted = (line.verb == nelk_verb::PS || nelk_answersWithText(line.verb)) &&
                            model_.takeScriptedAnswer(source, text, scripted);
    switch (line.verb) {
    case nelk_verb::PS: {
        void* shown = showPanel(source, line);
        if (isScripted) {
            // The panel is still shown here, so that the replay has its controls.
            shown = word(scripted ? std::strtoll(scripted->c_str(), nullptr, 10) : 0);
        }
        shownAnswer = shown != nullptr ? std::to_string(reinterpret_cast<std::intptr_t>(shown)) : "0";
        if (shown == nullptr) cover(coverage_item::answerPSZero);
        return shown;
    }
    case nelk_verb::TG:
    case nelk_verb::XI:
        if (!isScripted) break;
        shownAnswer = scripted ? shownText(*scripted) : "null";
        return scripted ? source.rules.handOut(text, *scripted) : nullptr;
    default: break;
    }
    switch (line.verb) {
    case nelk_verb::PS: return nullptr;  // carried out above
    case nelk_verb::TP: setProperty(source, line); return nullptr;
    case nelk_verb::TG: return getProperty(source, line, text, shownAnswer);
    case nelk_verb::XI: return listControls(source, line, text, shownAnswer);
    case nelk_verb::IR: registerSlots(source, line); return nullptr;
    case nelk_verb::IU: unregister(source, line.numbers.at(0)); return nullptr;
    case nelk_verb::IW: write(source, line); return nullptr;
    case nelk_verb::ET: stopTimer(source, line.numbers.at(0)); return nullptr;
    case nelk_verb::AS: shutDown(source); return nullptr;
    }
    return nullptr;
}

void* verb_handlers::showPanel(instance& source, const nelk_test_kit::command_line& line) {
    const std::string& panel = line.texts.at(0);
    const std::string& path = line.texts.at(1);
    if (panel != hostPanel) {
        output_.warning(source.name, "each instance shows panel 1; panel '" + panel + "' is not shown");
        return nullptr;
    }
    std::string problem;
    source.panel = loadLayout(path, problem);
    if (!problem.empty()) {
        output_.warning(source.name, problem);
        if (source.panel.controls().empty()) return nullptr;
    }
    output_.note(source.name, "panel 1 shows " + path + " (" + std::to_string(source.panel.controls().size()) + " controls)");
    // The panel's timers start as the host shows it.
    for (const panel_timer& timer : source.panel.timers) {
        source.timers[timer.id] = host_timer{timer.interval, timer.repeat, model_.clock() + timer.interval};
        output_.note(source.name, "timer " + std::to_string(timer.id) + (timer.repeat ? " fires every " : " fires once, in ") +
                                      std::to_string(timer.interval) + " ms of the host's clock (the panel's)");
    }
    return word(1);
}

void verb_handlers::setProperty(instance& source, const nelk_test_kit::command_line& line) {
    const std::string& assignment = line.texts.at(0);
    const std::string& panel = line.texts.at(1);
    const std::string& id = line.texts.at(2);
    if (panel != hostPanel) {
        output_.warning(source.name, "no panel '" + panel + "'; the property is not set");
        return;
    }
    const std::size_t equals = assignment.find('=');
    const std::string property = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);  // the line parser guarantees the '='
    panel_control* target = source.panel.find(id);
    if (target == nullptr) {
        output_.warning(source.name, "control '" + id + "' is not in the layout; it is created");
        panel_control created;
        created.id = id;
        source.panel.add(std::move(created));
        target = source.panel.find(id);
    }
    target->set(property, value);
}

void* verb_handlers::getProperty(instance& source, const nelk_test_kit::command_line& line, const std::string& text,
                                 std::string& shownAnswer) {
    const std::string& panel = line.texts.at(0);
    const std::string& id = line.texts.at(1);
    const std::string& property = line.texts.at(2);
    const panel_control* target = panel == hostPanel ? source.panel.find(id) : nullptr;
    if (target == nullptr) {
        output_.warning(source.name, "no control '" + id + "' on panel '" + panel + "'; the answer is null");
        shownAnswer = "null";
        cover(coverage_item::answerTGNull);
        return nullptr;
    }
    std::string answer;
    if (property == "all") {
        for (const auto& entry : target->properties) answer += (answer.empty() ? "" : "\n") + entry.first + "=" + entry.second;
    } else {
        const std::string* value = target->find(property);
        answer = property + "=" + (value != nullptr ? *value : "");
    }
    cover(coverage_item::answerTG);
    shownAnswer = shownText(answer);
    return source.rules.handOut(text, answer);
}

void* verb_handlers::listControls(instance& source, const nelk_test_kit::command_line& line, const std::string& text,
                                  std::string& shownAnswer) {
    const std::string& panel = line.texts.at(0);
    const std::string& filter = line.texts.at(1);
    std::string answer;
    if (panel == hostPanel) {
        for (const panel_control& each : source.panel.controls()) {
            if (each.id.compare(0, filter.size(), filter) == 0) answer += (answer.empty() ? "" : ",") + each.id;
        }
    } else {
        output_.warning(source.name, "no panel '" + panel + "'; no controls listed");
    }
    cover(coverage_item::answerXI);
    shownAnswer = shownText(answer);
    return source.rules.handOut(text, answer);
}

void verb_handlers::registerSlots(instance& source, const nelk_test_kit::command_line& line) {
    const int driver = line.numbers.at(0);
    bool driverExists = false;
    const std::optional<std::pair<int, int>> range =
        source.registrations.registerRange(driver, line.numbers.at(1), line.numbers.at(2), line.add, driverExists);
    if (!driverExists) {
        output_.note(source.name, "no driver " + std::to_string(driver) + "; nothing registered");
        return;
    }
    if (!range) {
        output_.note(source.name, "registered for no slot of driver " + std::to_string(driver));
        return;
    }
    // A real host reports the current texts of the slots just registered.
    for (const auto& stored : model_.slots().range(driver, range->first, range->second))
        report_(source, driver, stored.first, stored.second);
}

void verb_handlers::unregister(instance& source, int driver) {
    if (!source.registrations.unregister(driver)) output_.note(source.name, "was not registered for driver " + std::to_string(driver));
}

void verb_handlers::shutDown(instance& source) {
    const std::optional<std::tuple<int, int, int>> live = source.registrations.first();
    if (!live) return;
    const std::string driver = std::to_string(std::get<0>(*live));
    const std::size_t more = source.registrations.count() - 1;
    output_.warning(source.name, "sent \"AS\" with its registration of driver " + driver + " (slots " +
                                     std::to_string(std::get<1>(*live)) + " to " + std::to_string(std::get<2>(*live)) + ")" +
                                     (more > 0 ? " and " + std::to_string(more) + " more" : "") +
                                     " still live: a host deletes a panel whether it is bound or not, and a component ends "
                                     "what it registered (\"IU " + driver + "\") before \"AS\"");
}

void verb_handlers::write(instance& source, const nelk_test_kit::command_line& line) {
    const int driver = line.numbers.at(0);
    const int slot = line.numbers.at(1);
    if (!slotExists(driver, slot)) {
        output_.warning(source.name, "no slot " + std::to_string(driver) + "/" + std::to_string(slot) + "; nothing written");
        return;
    }
    writeSlot(driver, slot, line.texts.at(0));
}

void verb_handlers::writeSlot(int driver, int slot, const std::string& text) {
    model_.slots().store(driver, slot, text);
    for (instance* target : model_.inOrder()) {
        if (target->phase != instance_phase::live && target->phase != instance_phase::creating) continue;
        if (target->registrations.covers(driver, slot)) report_(*target, driver, slot, text);
    }
}

void verb_handlers::stopTimer(instance& source, int id) {
    if (source.timers.erase(id) == 0) output_.note(source.name, "timer " + std::to_string(id) + " was not running");
}

}  // namespace nelk_host_tool
