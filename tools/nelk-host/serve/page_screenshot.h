// serve --screenshot: a picture of the served page as it is, taken by a headless Chromium that
// opens the page's still view (?still: the state and the transcript read before the page loads,
// no stream), so that the same session gives the same picture every time. Chromium is a child
// of nelk-host (process/supervised_child.h), with a profile folder of its own that goes with it.
// Any thread but the host's (the page's requests are answered there meanwhile).
#pragma once

#include <string>

namespace nelk_host_tool {

struct screenshot_request {
    std::string url;     // the still view, with the read-only token it needs
    std::string file;    // the PNG to write (replaced)
    int width = 1280;
    int height = 900;
    double seconds = 30;  // how long Chromium may take before it is ended
};

// The browser to use: $NELK_CHROMIUM, or chromium, chromium-browser or google-chrome on PATH;
// "" when there is none.
std::string findChromium();

// Takes the picture; false with `problem` said for a person (no browser, it failed or hung, no
// file written).
bool takeScreenshot(const screenshot_request& request, std::string& problem);

}  // namespace nelk_host_tool
