// A panel's controls, as a layout file declares them and "TP" changes them. Plain values, owned
// by whoever holds them; host's thread.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace nelk_host_tool {

struct panel_control {
    std::string id;
    std::string type;
    std::vector<std::pair<std::string, std::string>> properties;  // in declaration order

    // The property's value, or null when the control has no such property; the pointer is valid
    // until the control's properties change.
    const std::string* find(const std::string& property) const;
    void set(const std::string& property, const std::string& value);
};

struct panel_layout {
    std::string file;               // the path the component asked for
    std::vector<panel_control> controls;  // in layout order

    // The control with that id, or null; valid until a control is added or the layout replaced.
    panel_control* find(const std::string& id);
    const panel_control* find(const std::string& id) const;
};

// Reads a layout file (JSON: {"controls": [{"id", "type", "properties": {name: text}}]}).
// On a missing or broken file returns an empty layout and sets `problem` to why.
panel_layout loadLayout(const std::string& path, std::string& problem);

}  // namespace nelk_host_tool
