#include "state_json.h"

namespace nelk_host_tool {

namespace {

const char* phaseName(instance_phase phase) {
    switch (phase) {
    case instance_phase::creating: return "creating";
    case instance_phase::live: return "live";
    case instance_phase::deleting: return "deleting";
    case instance_phase::gone: return "gone";
    }
    return "?";
}

nlohmann::ordered_json controlJson(const panel_control& control) {
    nlohmann::ordered_json properties = nlohmann::ordered_json::object();
    for (const auto& property : control.properties) properties[property.first] = property.second;
    nlohmann::ordered_json entry{{"id", control.id}, {"type", control.type}, {"command", control.command}};
    if (control.geometry) {
        entry["geometry"] = {{"x", control.geometry->x}, {"y", control.geometry->y},
                             {"width", control.geometry->width}, {"height", control.geometry->height}};
    } else {
        entry["geometry"] = nullptr;
    }
    entry["properties"] = properties;
    return entry;
}

nlohmann::ordered_json timersJson(const instance& target) {
    nlohmann::ordered_json timers = nlohmann::ordered_json::array();
    for (const auto& entry : target.timers) {
        nlohmann::ordered_json timer{{"id", entry.first}};
        if (entry.second.interval > 0) {
            timer["interval"] = entry.second.interval;
            timer["repeat"] = entry.second.repeat;
            timer["due"] = entry.second.due;
        }
        timers.push_back(timer);
    }
    return timers;
}

}  // namespace

nlohmann::ordered_json stateJson(const headless_host& host) {
    nlohmann::ordered_json instances = nlohmann::ordered_json::array();
    for (const instance* each : host.model().inOrder()) {
        nlohmann::ordered_json controls = nlohmann::ordered_json::array();
        for (const panel_control& control : each->panel.controls()) controls.push_back(controlJson(control));
        nlohmann::ordered_json registrations = nlohmann::ordered_json::array();
        for (const auto& driver : each->registrations.byDriver()) {
            for (const auto& range : driver.second)
                registrations.push_back({{"driver", driver.first}, {"first", range.first}, {"last", range.second}});
        }
        instances.push_back({{"name", each->name},
                             {"library", each->library ? each->library->path() : std::string()},
                             {"phase", phaseName(each->phase)},
                             {"panel", {{"file", each->panel.file}, {"title", each->panel.title},
                                        {"width", each->panel.width}, {"height", each->panel.height}}},
                             {"controls", controls},
                             {"registrations", registrations},
                             {"timers", timersJson(*each)},
                             {"linesSent", each->lines.size()}});
    }
    nlohmann::ordered_json slots = nlohmann::ordered_json::array();
    for (const auto& slot : host.model().slots().all()) slots.push_back({{"driver", slot.driver}, {"slot", slot.slot}, {"text", slot.text}});
    return {{"instances", instances},
            {"slots", slots},
            {"protocolErrors", host.protocolErrors()},
            {"delivery", deliveryName(host.mode())},
            {"clock", {{"ms", host.model().clock()}, {"running", host.clockRunning()}, {"speed", host.clockSpeed()}}}};
}

}  // namespace nelk_host_tool
