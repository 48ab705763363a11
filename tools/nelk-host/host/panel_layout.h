// A panel's controls, as a layout file declares them and "TP" changes them. Plain values, owned
// by whoever holds them; host's thread.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace nelk_host_tool {

// Where a control stands on its panel, in pixels; a layout without it is laid out in a flow.
struct control_geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct panel_control {
    std::string id;
    std::string type;     // "label", "button", "alarm", "text" (an input), or any other word
    std::string command;  // what a click sends (a button), as "name=value"; empty for none
    std::optional<control_geometry> geometry;
    std::vector<std::pair<std::string, std::string>> properties;  // in declaration order

    // The property's value, or null when the control has no such property; the pointer is valid
    // until the control's properties change.
    const std::string* find(const std::string& property) const;
    void set(const std::string& property, const std::string& value);
};

// A timer the panel declares: the host starts it when it shows the panel, and fires it (kind 4)
// every `interval` milliseconds of the host's clock, or once.
struct panel_timer {
    int id = 0;
    int interval = 0;  // milliseconds, 1 to 86,400,000
    bool repeat = true;
};

struct panel_layout {
    std::string file;   // the path the component asked for
    std::string title;  // the layout's "panel" name, if it gives one
    int width = 0;      // the panel's size in pixels, 0 when the layout does not say
    int height = 0;
    std::vector<panel_timer> timers;  // in the order declared

    const std::vector<panel_control>& controls() const noexcept { return controls_; }
    // The control with that id, or null; valid until a control is added or the layout replaced.
    panel_control* find(const std::string& id);
    const panel_control* find(const std::string& id) const;
    // Adds a control after the others; false, adding nothing, when one has its id already.
    bool add(panel_control control);

private:
    std::vector<panel_control> controls_;               // in layout order
    std::unordered_map<std::string, std::size_t> index_;  // id -> position
};

// Reads a layout file, JSON:
//   {"panel": NAME, "width": N, "height": N,
//    "controls": [{"id", "type", "command", "x", "y", "width", "height", "properties": {name: text}}],
//    "timers": [{"id": N, "interval": MILLISECONDS, "repeat": true|false}]}
// Everything but "controls" and each control's "id" may be left out. A missing, unreadable or
// broken file (not JSON, not a file, nested past 32 levels) gives an empty layout and sets
// `problem` to why; a control that cannot be taken is left out with `problem` set.
panel_layout loadLayout(const std::string& path, std::string& problem);

}  // namespace nelk_host_tool
