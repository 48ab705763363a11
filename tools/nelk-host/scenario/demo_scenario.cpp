#include "demo_scenario.h"

#include "process/executable_path.h"
#include "scenario_words.h"

namespace nelk_host_tool {

namespace {

const char setup[] = R"(# Two Corvane panels tied to driver 12, slot 7.
load A
load B
command A "InfoDriverID=12"
command A "Slot=7"
command B "InfoDriverID=12"
command B "Slot=7"
expect A {shown} "IR 12 0 0" "IR 12 7 7"
# A is told a text: it writes the slot, and the host reports the slot to both panels.
command A "text=Camera 1"
expect A "IW 12 'Camera 1' 7 0" "TP 'text=Camera 1' '1' 'umdText'"
check A umdText text "Camera 1"
check B umdText text "Camera 1"
)";

const char rest[] = R"(show A
show B
# The host changes the slot itself; both panels follow.
slot 12 7 "Camera 2"
check A umdText text "Camera 2"
check B umdText text "Camera 2"
command A "return=all" -> "InfoDriverID=12\nSlot=7"
delete A
delete B
expect A "TP 'text=Camera 2' '1' 'umdText'" "IU 12" "AS"
)";

// The demo expects the line that shows the layout from the library's directory, written as a
// statement's word.
std::string withDirectory(std::string text, const std::string& library) {
    const std::string marker = "{shown}";
    const std::size_t at = text.find(marker);
    const std::string shown = "PS '1' '" + directoryOf(library) + "/corvane.nelk_ui'";
    if (at != std::string::npos) text.replace(at, marker.size(), nelk_test_kit::statementWord(shown));
    return text;
}

}  // namespace

std::string demoScenario(const std::string& library) { return withDirectory(std::string(setup) + rest, library); }

std::string demoSetup(const std::string& library) { return withDirectory(setup, library); }

}  // namespace nelk_host_tool
