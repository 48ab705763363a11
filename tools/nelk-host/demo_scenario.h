// The built-in demo: two panels on driver 12, slot 7.
#pragma once

namespace nelk_host_tool {

inline const char* demoScenario() {
    return R"(# Two Corvane panels tied to driver 12, slot 7.
load A
load B
command A "InfoDriverID=12"
command A "Slot=7"
command B "InfoDriverID=12"
command B "Slot=7"
expect A "PS '1' '{dir}/corvane.nelk_ui'" "IR 12 0 0" "IR 12 7 7"
# A is told a text: it writes the slot, and the host reports the slot to both panels.
command A "text=Camera 1"
expect A "IW 12 'Camera 1' 7 0" "TP 'text=Camera 1' '1' 'umdText'"
check A umdText text "Camera 1"
check B umdText text "Camera 1"
show A
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
}

}  // namespace nelk_host_tool
