#include "panel_layout.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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
    auto found = index_.find(id);
    return found != index_.end() ? &controls_[found->second] : nullptr;
}

const panel_control* panel_layout::find(const std::string& id) const { return const_cast<panel_layout*>(this)->find(id); }

bool panel_layout::add(panel_control control) {
    if (!index_.emplace(control.id, controls_.size()).second) return false;
    controls_.push_back(std::move(control));
    return true;
}

namespace {

// How deep a layout may nest: far beyond any real one, well within what a parser's stack takes.
const int deepestNesting = 32;

std::string asText(const nlohmann::ordered_json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_null()) return "";
    return value.dump();
}

// The deepest nesting of objects and arrays in a JSON text, not counting brackets inside strings.
int nesting(const std::string& text) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char byte = text[at];
        if (inString) {
            if (byte == '\\') ++at;
            else if (byte == '"') inString = false;
            continue;
        }
        if (byte == '"') inString = true;
        if (byte == '[' || byte == '{') deepest = std::max(deepest, ++depth);
        if (byte == ']' || byte == '}') --depth;
    }
    return deepest;
}

std::optional<int> whole(const nlohmann::ordered_json& entry, const char* key) {
    if (!entry.contains(key) || !entry[key].is_number_integer()) return std::nullopt;
    const long long value = entry[key].get<long long>();
    if (value < -86400000 || value > 86400000) return std::nullopt;
    return static_cast<int>(value);
}

// The layout's "timers" list into `layout`; a timer without a whole id and interval is left out, said in `problem`.
void readTimers(const nlohmann::ordered_json& document, const std::string& path, panel_layout& layout, std::string& problem) {
    if (!document.contains("timers") || !document["timers"].is_array()) return;
    for (const nlohmann::ordered_json& entry : document["timers"]) {
        const auto id = entry.is_object() ? whole(entry, "id") : std::nullopt;
        const auto interval = entry.is_object() ? whole(entry, "interval") : std::nullopt;
        if (!id || !interval || *interval < 1) {
            problem = "layout file \"" + path + "\" has a timer without a whole \"id\" and an \"interval\" of 1 ms or more; it is left out";
            continue;
        }
        const bool repeat = !entry.contains("repeat") || !entry["repeat"].is_boolean() || entry["repeat"].get<bool>();
        layout.timers.push_back(panel_timer{*id, *interval, repeat});
    }
}

// The layout's "controls" list into `layout`; one without a text id, or declared twice, is left out, said in `problem`.
void readControls(const nlohmann::ordered_json& document, const std::string& path, panel_layout& layout, std::string& problem) {
    for (const nlohmann::ordered_json& entry : document["controls"]) {
        if (!entry.is_object() || !entry.contains("id") || !entry["id"].is_string()) {
            problem = "layout file \"" + path + "\" has a control without a text \"id\"; it is left out";
            continue;
        }
        panel_control declared;
        declared.id = entry["id"].get<std::string>();
        declared.type = entry.contains("type") ? asText(entry["type"]) : "";
        declared.command = entry.contains("command") ? asText(entry["command"]) : "";
        const auto x = whole(entry, "x");
        const auto y = whole(entry, "y");
        if (x && y) declared.geometry = control_geometry{*x, *y, whole(entry, "width").value_or(0), whole(entry, "height").value_or(0)};
        if (entry.contains("properties") && entry["properties"].is_object()) {
            for (const auto& property : entry["properties"].items()) declared.set(property.key(), asText(property.value()));
        }
        const std::string id = declared.id;
        if (!layout.add(std::move(declared)))
            problem = "layout file \"" + path + "\" declares control \"" + id + "\" twice; the first one counts";
    }
}

}  // namespace

panel_layout loadLayout(const std::string& path, std::string& problem) {
    panel_layout layout;
    layout.file = path;
    problem.clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = std::filesystem::exists(path, error) ? "layout \"" + path + "\" is not a file"
                                                       : "cannot open layout file \"" + path + "\"";
        return layout;
    }
    std::ifstream input(path, std::ios::binary);
    std::ostringstream content;
    if (!input || !(content << input.rdbuf())) {
        problem = "cannot read layout file \"" + path + "\"";
        return layout;
    }
    const std::string text = content.str();
    if (nesting(text) > deepestNesting) {
        problem = "layout file \"" + path + "\" nests deeper than " + std::to_string(deepestNesting) + " levels";
        return layout;
    }
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        problem = "layout file \"" + path + "\" is not valid JSON";
        return layout;
    }
    if (!document.is_object() || !document.contains("controls") || !document["controls"].is_array()) {
        problem = "layout file \"" + path + "\" has no \"controls\" list";
        return layout;
    }
    if (document.contains("panel")) layout.title = asText(document["panel"]);
    layout.width = whole(document, "width").value_or(0);
    layout.height = whole(document, "height").value_or(0);
    readTimers(document, path, layout, problem);
    readControls(document, path, layout, problem);
    return layout;
}

}  // namespace nelk_host_tool
