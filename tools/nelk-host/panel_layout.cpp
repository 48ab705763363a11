#include "panel_layout.h"

#include <fstream>

#include <nlohmann/json.hpp>

namespace nelk_host_tool {

const std::string* panel_control::find(const std::string& property) const {
    for (const auto& entry : properties) {
        if (entry.first == property) return &entry.second;
    }
    return nullptr;
}

void panel_control::set(const std::string& property, const std::string& value) {
    for (auto& entry : properties) {
        if (entry.first == property) {
            entry.second = value;
            return;
        }
    }
    properties.emplace_back(property, value);
}

panel_control* panel_layout::find(const std::string& id) {
    for (panel_control& each : controls) {
        if (each.id == id) return &each;
    }
    return nullptr;
}

const panel_control* panel_layout::find(const std::string& id) const {
    return const_cast<panel_layout*>(this)->find(id);
}

namespace {

std::string asText(const nlohmann::ordered_json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_null()) return "";
    return value.dump();
}

}  // namespace

panel_layout loadLayout(const std::string& path, std::string& problem) {
    panel_layout layout;
    layout.file = path;
    problem.clear();
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        problem = "cannot open layout file \"" + path + "\"";
        return layout;
    }
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(input, nullptr, false);
    if (document.is_discarded()) {
        problem = "layout file \"" + path + "\" is not valid JSON";
        return layout;
    }
    if (!document.is_object() || !document.contains("controls") || !document["controls"].is_array()) {
        problem = "layout file \"" + path + "\" has no \"controls\" list";
        return layout;
    }
    for (const nlohmann::ordered_json& entry : document["controls"]) {
        if (!entry.is_object() || !entry.contains("id") || !entry["id"].is_string()) {
            problem = "layout file \"" + path + "\" has a control without a text \"id\"; it is left out";
            continue;
        }
        panel_control declared;
        declared.id = entry["id"].get<std::string>();
        declared.type = entry.contains("type") ? asText(entry["type"]) : "";
        if (entry.contains("properties") && entry["properties"].is_object()) {
            for (const auto& property : entry["properties"].items()) declared.set(property.key(), asText(property.value()));
        }
        if (layout.find(declared.id) != nullptr) {
            problem = "layout file \"" + path + "\" declares control \"" + declared.id + "\" twice; the first one counts";
            continue;
        }
        layout.controls.push_back(std::move(declared));
    }
    return layout;
}

}  // namespace nelk_host_tool
