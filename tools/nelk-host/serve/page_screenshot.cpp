#include "page_screenshot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "process/scratch_folder.h"
#include "process/supervised_child.h"

namespace nelk_host_tool {

std::string findChromium() {
    if (const char* chosen = std::getenv("NELK_CHROMIUM"); chosen != nullptr && *chosen != '\0') return chosen;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::vector<std::string> searched;
    for (std::string folder; std::getline(folders, folder, ':');) searched.push_back(folder.empty() ? "." : folder);
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        for (const std::string& folder : searched) {
            const std::string candidate = folder + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return "";
}

bool takeScreenshot(const screenshot_request& request, std::string& problem) {
    const std::string browser = findChromium();
    if (browser.empty()) {
        problem = "--screenshot needs Chromium (Debian: apt-get install chromium), or its path in NELK_CHROMIUM";
        return false;
    }
    const scratch_folder profile("nelk-screenshot");
    if (profile.path().empty()) {
        problem = "cannot make a private profile folder for Chromium in the temporary folder";
        return false;
    }
    std::error_code ignored;
    const std::string file = std::filesystem::absolute(request.file, ignored).string();
    std::filesystem::remove(file, ignored);  // what is there after is this picture, or nothing
    // One raster thread, greyscale text and whole-frame raster: without them the corners of
    // rounded boxes come out a shade apart from one run to the next. Every compositor stage runs
    // before the frame is drawn, and the page's pending work is let finish: on a busy machine
    // the picture was otherwise taken with the scrolled transcript half painted.
    std::vector<std::string> command{browser,
                                     "--headless",
                                     "--disable-gpu",
                                     "--hide-scrollbars",
                                     "--no-first-run",
                                     "--no-default-browser-check",
                                     "--disable-extensions",
                                     "--num-raster-threads=1",
                                     "--disable-lcd-text",
                                     "--disable-partial-raster",
                                     "--run-all-compositor-stages-before-draw",
                                     "--virtual-time-budget=2000",
                                     "--force-device-scale-factor=1",
                                     "--user-data-dir=" + profile.path(),
                                     "--window-size=" + std::to_string(request.width) + "," + std::to_string(request.height),
                                     "--screenshot=" + file,
                                     request.url};
    // Chromium refuses to start its sandbox for root; as root it runs without (the page is ours).
    if (geteuid() == 0) command.insert(command.begin() + 1, "--no-sandbox");
    // What Chromium says goes into its profile folder, and its last line into a failure's message.
    const std::string said = profile.path() + "/chromium.log";
    const int log = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    supervised_child child;
    const bool started = child.startProgram(command, log >= 0 ? std::vector<std::pair<int, int>>{{log, 1}, {log, 2}}
                                                              : std::vector<std::pair<int, int>>{}, problem);
    if (log >= 0) close(log);
    if (!started) {
        problem = "cannot start " + browser + ": " + problem;
        return false;
    }
    const child_ending ending = child.wait(request.seconds, request.seconds);
    if (child.running()) child.end();
    if (!ending.cleanExit()) {
        std::ifstream read(said);
        std::string last;
        for (std::string line; std::getline(read, line);)
            if (!line.empty()) last = line;
        problem = browser + " " + ending.sentence() + " before the picture was taken" + (last.empty() ? "" : " (it said: " + last + ")");
        return false;
    }
    if (std::filesystem::file_size(file, ignored) == 0 || ignored) {
        problem = browser + " ended without writing " + file;
        return false;
    }
    return true;
}

}  // namespace nelk_host_tool
